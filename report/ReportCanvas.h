#pragma once

#include <QColor>
#include <QLineF>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace psucal {

struct TextStyle {
    double points = 9.0;
    bool bold = false;
};

struct Stroke {
    int weight = 1; // 1 thin, 2 medium, 3 heavy
    bool dashed = false;
    QColor color = Qt::black;
};

// What the report draws with: millimetres from the top-left corner of the page, y downwards,
// text placed by the top-left corner of its line.
class ReportCanvas {
public:
    virtual ~ReportCanvas() = default;
    virtual QSizeF pageSize() const = 0;
    virtual double textWidth(const QString& text, const TextStyle& style) const = 0;
    virtual double textHeight(const TextStyle& style) const = 0;
    virtual void text(double x, double y, const QString& text, const TextStyle& style) = 0;
    virtual void line(const QLineF& line, const Stroke& stroke) = 0;
    virtual void rect(const QRectF& rect, const Stroke& stroke) = 0;
    // False when the device could not start another page.
    virtual bool newPage() = 0;
};

} // namespace psucal
