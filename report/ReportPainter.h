#pragma once

#include "report/ReportCanvas.h"
#include "report/ReportData.h"

#include <QList>

namespace psucal {

// The calibration report: page head, the ruled table of all test spots, the two accuracy charts
// and their legend. When the spots do not leave room for the charts, the charts (and with 80
// spots part of the table) go on to a second page.
class ReportPainter {
public:
    static constexpr double Margin = 10.0;       // left, right and bottom
    static constexpr double TableTop = 43.0;     // on the first page
    static constexpr double NextTableTop = 26.0; // on the pages after it
    static constexpr double RowHeight = 4.5;
    static constexpr double ChartGap = 10.0;     // table bottom to the first chart's frame
    static constexpr double ChartsBlock = 123.0; // from the table bottom to below the tester line

    struct Page {
        int firstSpot = 1; // spot of the first table row
        int spots = 0;     // spot rows of the table on this page
        bool table = true; // false: a page that only carries the charts
        double tableTop = TableTop;
        double chartTop = -1.0; // top of the voltage chart's frame; negative: no charts here
    };
    static QList<Page> Plan(int spotCount, double pageHeight);

    ReportPainter(const ReportData& data, ReportCanvas& canvas);

    // False when the device could not start a page.
    bool paint();

private:
    void paintHead();
    void paintNextHead();
    void paintTable(const Page& page);
    void paintRows(const Page& page);
    void paintCharts(const Page& page);
    void paintFooter(int page, int pages);
    void cells(const SpotGrid& grid, int row, double y, const double* edges);
    void centred(const QString& text, double left, double right, double y, const TextStyle& style);
    void rightAligned(const QString& text, double right, double y, const TextStyle& style);
    double edge(int j) const { return x_[j]; }

    const ReportData& d_;
    ReportCanvas& c_;
    double pageWidth_;
    double pageHeight_;
    double right_;
    double x_[9]; // column edges x0..x8
};

} // namespace psucal
