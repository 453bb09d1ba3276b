#pragma once

#include "report/CertificateLines.h"
#include "report/ReportCanvas.h"
#include "report/ReportData.h"

#include <QList>
#include <QString>

#include <functional>

namespace psucal {

// The calibration certificate: the facts of the unit, the references, the conditions and the
// decision rule on the first page, then per quantity an as-found and an as-left table. A table
// that runs over a page carries its title and column heads on to the next; every page has the
// certificate number and "Page n of m" at its foot.
class CertificatePainter {
public:
    static constexpr double Margin = 12.0;
    static constexpr double Top = 12.0;
    static constexpr double RowHeight = 4.2;
    static constexpr double HeadHeight = 8.0; // the column heads, name over unit
    static constexpr double FootSpace = 16.0; // below the last row a page may hold

    // `data.certificate` must be set.
    CertificatePainter(const ReportData& data, ReportCanvas& canvas);

    // False when the device could not start a page.
    bool paint();

private:
    using Draw = std::function<void()>;
    struct Table {
        QString title;
        bool current;
        QList<CertificateLine> lines;
        QString empty; // said instead of rows when there are none
    };

    void layOut();
    void layOutHead();
    void layOutReferences();
    void layOutConditions();
    void heading(const QString& title);
    void fields(const QString& label1, const QString& value1, const QString& label2, const QString& value2);
    void layOutRule();
    void layOutTable(const Table& table);
    void layOutSignature();
    void tableHead(const Table& table, bool continued);
    void row(const CertificateLine& line, bool firstOfSpot);
    // Room for `height` more millimetres on this page, or a new page with the running head.
    bool room(double height);
    void newPage();
    void field(double x, double labelWidth, const QString& label, const QString& value);
    double paragraph(double x, double width, const QString& text, const TextStyle& style);
    void draw(Draw d) { pages_.last() << std::move(d); }
    void foot(int page, int pages);

    const ReportData& d_;
    const CertificateData& c_;
    ReportCanvas& canvas_;
    double width_;
    double height_;
    double right_;
    double y_ = Top;
    QList<QList<Draw>> pages_;
    double edges_[12]; // column edges of the results tables
};

} // namespace psucal
