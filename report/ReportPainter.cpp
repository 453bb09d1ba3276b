#include "report/ReportPainter.h"

#include "core/Numbers.h"
#include "report/AccuracyChart.h"

#include <QtMath>

#include <algorithm>

namespace psucal {

namespace {

const TextStyle Body{9.0, false};
const TextStyle BodyBold{9.0, true};
const TextStyle VerdictStyle{11.0, true};
const TextStyle Footer{8.0, false};
const Stroke Thin{1, false, Qt::black};
const Stroke Heavy{3, false, Qt::black};

// Column heads of one half of the table, each between two of its edges.
struct Heading {
    const char* text;
    int from, to;
    bool top;
};

} // namespace

QList<ReportPainter::Page> ReportPainter::Plan(int spotCount, double pageHeight)
{
    const int total = std::max(spotCount, 0);
    const double limit = pageHeight - Margin + 1e-9;
    QList<Page> pages;
    Page page;
    for (;;) {
        const int capacity = std::max(1, static_cast<int>(std::floor((limit - page.tableTop) / RowHeight)) - 2);
        page.spots = std::min(total - page.firstSpot + 1, capacity);
        const double bottom = page.tableTop + (page.spots + 2) * RowHeight;
        const int next = page.firstSpot + page.spots;
        if (next > total) {
            if (bottom + ChartsBlock <= limit) {
                page.chartTop = bottom + ChartGap;
                pages << page;
            } else {
                pages << page;
                pages << Page{next, 0, false, NextTableTop, NextTableTop + ChartGap};
            }
            return pages;
        }
        pages << page;
        page = Page{next, 0, true, NextTableTop, -1.0};
    }
}

ReportPainter::ReportPainter(const ReportData& data, ReportCanvas& canvas)
    : d_(data), c_(canvas), pageWidth_(canvas.pageSize().width()), pageHeight_(canvas.pageSize().height()),
      right_(pageWidth_ - Margin)
{
    const double k = (right_ - Margin - 2) / 8;
    const double steps[9] = {k - 4, k, k + 2, k + 2, 2, k - 4, k, k + 2, k + 2};
    double x = Margin;
    for (int j = 0; j < 9; ++j)
        x_[j] = x += steps[j];
    // The last edge is the right margin itself, whatever rounding the sum collected.
    x_[8] = right_;
}

bool ReportPainter::paint()
{
    const QList<Page> pages = Plan(d_.SpotCount, pageHeight_);
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0 && !c_.newPage())
            return false;
        if (i == 0)
            paintHead();
        else
            paintNextHead();
        if (pages[i].table)
            paintTable(pages[i]);
        if (pages[i].chartTop >= 0)
            paintCharts(pages[i]);
        if (pages.size() > 1)
            paintFooter(i + 1, static_cast<int>(pages.size()));
    }
    return true;
}

void ReportPainter::paintHead()
{
    centred(QStringLiteral("CALIBRATION REPORT"), 0, pageWidth_, 6, TextStyle{14.0, true});
    centred(QStringLiteral("200 W  Switching Mode Programmable Power Supply"), 0, pageWidth_, 14,
            TextStyle{13.0, true});

    const double maxI = d_.rating && d_.rating->printsCurrentFraction ? d_.MaxI : std::trunc(d_.MaxI);
    c_.text(Margin, 24, QStringLiteral("Model No.: ") + d_.ClientModel, Body);
    c_.text(Margin, 28, QStringLiteral("Serial No.: ") + d_.SerialNo, Body);
    c_.text(Margin, 32, QStringLiteral("Max Output Voltage : %1V").arg(num::Fixed(std::trunc(d_.MaxV), 1)), Body);
    c_.text(Margin, 36, QStringLiteral("Max Output Current : %1A").arg(num::Fixed(maxI, 1)), Body);

    // A certificate names the day of its test; it is the day stored with the records.
    const QString date = QStringLiteral("Test Date : ") + d_.StartDate.toString(Qt::ISODate);
    c_.text((pageWidth_ - c_.textWidth(date, Body)) / 2 - 2, 32, date, Body);
    const QString equipment = QStringLiteral("Test Equipment : ") + d_.EquipmentText;
    c_.text((pageWidth_ - c_.textWidth(equipment, Body)) / 2 - 2, 36, equipment, Body);

    const QString verdict = d_.AllPass ? QStringLiteral("PASS") : QStringLiteral("FAIL");
    const QString label = QStringLiteral("Tested :");
    rightAligned(verdict, right_, 27, VerdictStyle);
    c_.text(right_ - c_.textWidth(verdict, VerdictStyle) - c_.textWidth(label, VerdictStyle) + 2, 27.4, label, Body);
    rightAligned(QStringLiteral("Test By : ") + d_.TestedBy, right_, 32, Body);
    rightAligned(QStringLiteral("Ambient Temp : ") + d_.AmbientTemp + QStringLiteral(" Deg C"), right_, 36, Body);
}

void ReportPainter::paintNextHead()
{
    centred(QStringLiteral("CALIBRATION REPORT"), 0, pageWidth_, 6, TextStyle{14.0, true});
    c_.text(Margin, 16, QStringLiteral("Model No.: ") + d_.ClientModel, Body);
    rightAligned(QStringLiteral("Serial No.: ") + d_.SerialNo, right_, 16, Body);
}

void ReportPainter::paintFooter(int page, int pages)
{
    rightAligned(QStringLiteral("Page %1 of %2").arg(page).arg(pages), right_, pageHeight_ - 8, Footer);
}

void ReportPainter::paintTable(const Page& page)
{
    const double t = page.tableTop, h = RowHeight;
    const int rows = page.spots + 2;
    const double b = t + rows * h;

    c_.rect(QRectF(QPointF(Margin, t), QPointF(right_, b)), Heavy);
    c_.line(QLineF(edge(0), t + h, edge(3), t + h), Thin);
    c_.line(QLineF(edge(5), t + h, right_, t + h), Thin);
    for (int k = 2; k <= rows; ++k) {
        const Stroke& s = k == 2 ? Heavy : Thin;
        c_.line(QLineF(Margin, t + k * h, edge(3), t + k * h), s);
        c_.line(QLineF(edge(4), t + k * h, edge(8), t + k * h), s);
    }
    for (int j = 0; j <= 8; ++j) {
        const bool underUnit = j == 1 || j == 2 || j == 6 || j == 7;
        c_.line(QLineF(edge(j), underUnit ? t + h : t, edge(j), b), j == 3 || j == 4 ? Heavy : Thin);
    }

    static const Heading headings[] = {
        {"Voltage (V)", 0, 3, true}, {"Setting", 0, 1, false}, {"Display", 1, 2, false}, {"Output", 2, 3, false},
        {"Current (A)", 5, 8, true}, {"Setting", 5, 6, false}, {"Display", 6, 7, false}, {"Output", 7, 8, false},
    };
    for (const Heading& hd : headings)
        centred(QString::fromLatin1(hd.text), edge(hd.from), edge(hd.to), hd.top ? t + 0.5 : t + h + 0.5, Body);
    centred(QStringLiteral("Step"), Margin, edge(0), t + 3, Body);
    centred(QStringLiteral("Step"), edge(4), edge(5), t + 3, Body);

    paintRows(page);
}

void ReportPainter::paintRows(const Page& page)
{
    const double voltageEdges[5] = {Margin, edge(0), edge(1), edge(2), edge(3)};
    const double currentEdges[5] = {edge(4), edge(5), edge(6), edge(7), edge(8)};
    for (int i = 0; i < page.spots; ++i) {
        const int row = page.firstSpot + i + 1; // spot k lives in grid row k + 1
        const double y = (i + 2) * RowHeight + page.tableTop + 0.5;
        cells(d_.FGridV, row, y, voltageEdges);
        cells(d_.FGridC, row, y, currentEdges);
    }
}

// Step centred in its column, the three values right-aligned 2 mm inside theirs; a Display or
// Output outside its tolerance prints bold.
void ReportPainter::cells(const SpotGrid& grid, int row, double y, const double* edges)
{
    centred(grid.text(row, SpotGrid::StepColumn), edges[0], edges[1], y, Body);
    for (int col = SpotGrid::SettingColumn; col <= SpotGrid::OutputColumn; ++col) {
        const bool failed = grid.verdict(row, col) == Verdict::Fail;
        rightAligned(grid.text(row, col), edges[col + 1] - 2, y, failed ? BodyBold : Body);
    }
}

void ReportPainter::paintCharts(const Page& page)
{
    const AccuracyChart voltage(false, d_.MaxV / 100.0, d_.SpotCount, page.chartTop, pageWidth_);
    voltage.draw(c_, d_.FGridV);
    const double amps = d_.rating ? d_.rating->chartAmps : UnratedChartAmps;
    const AccuracyChart current(true, amps, d_.SpotCount, voltage.frame().bottom() + 15, pageWidth_);
    current.draw(c_, d_.FGridC);
    current.drawLegend(c_, d_.TestedBy);
}

void ReportPainter::centred(const QString& text, double left, double right, double y, const TextStyle& style)
{
    c_.text(left + ((right - left) - c_.textWidth(text, style)) / 2, y, text, style);
}

void ReportPainter::rightAligned(const QString& text, double right, double y, const TextStyle& style)
{
    c_.text(right - c_.textWidth(text, style), y, text, style);
}

} // namespace psucal
