#pragma once

#include "report/ReportCanvas.h"

#include <QFont>
#include <QPagedPaintDevice>
#include <QPainter>

namespace psucal {

// The report canvas on a PDF writer or a printer, in DejaVu Sans so that every output looks the
// same (and has the triangle of the chart titles).
class PainterCanvas : public ReportCanvas {
public:
    // Separate letters: every word reads back from the PDF as it was written.
    enum class Letters { Ligatures, Separate };
    explicit PainterCanvas(QPagedPaintDevice& device, Letters letters = Letters::Ligatures);
    PainterCanvas(const PainterCanvas&) = delete;
    PainterCanvas& operator=(const PainterCanvas&) = delete;

    // False when the device refused to start painting.
    bool isActive() const { return painter_.isActive(); }
    // Ends the document; false when the device reports a failure.
    bool finish();

    QSizeF pageSize() const override { return pageMm_; }
    double textWidth(const QString& text, const TextStyle& style) const override;
    double textHeight(const TextStyle& style) const override;
    void text(double x, double y, const QString& text, const TextStyle& style) override;
    void line(const QLineF& line, const Stroke& stroke) override;
    void rect(const QRectF& rect, const Stroke& stroke) override;
    bool newPage() override;

    // The family used for every text; loaded from the DejaVu files once.
    static QString FontFamily();

private:
    QFont font(const TextStyle& style) const;
    QPen pen(const Stroke& stroke) const;

    QPagedPaintDevice& device_;
    QPainter painter_;
    QSizeF pageMm_;
    double dotsPerMm_;
    Letters letters_;
};

} // namespace psucal
