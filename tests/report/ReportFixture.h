#pragma once

#include "core/Numbers.h"
#include "report/ReportCanvas.h"
#include "report/ReportData.h"
#include "tests/support/QtPrinters.h"

#include <QList>

namespace psucal::test {

// Grids whose values say where they came from: voltage spot k is set to k V, displays k.0k and
// outputs k.1k; current spot k is set to k/100 A, displays and outputs 0.k1 and 0.k2 (k as 2 digits).
struct Report {
    SpotGrid voltage{false};
    SpotGrid current{true};
    ReportData data{voltage, current};

    explicit Report(int spots, const QString& serial = QStringLiteral("SN100"))
    {
        voltage.BuildVoltageSpots(spots, 1.0f, 1000.0f);
        current.BuildCurrentSpots(spots, 0.01f, 1.0f);
        for (int k = 1; k <= spots; ++k) {
            measure(voltage, k + 1, k + (k % 10) / 100.0, k + 0.1 + (k % 10) / 100.0);
            measure(current, k + 1, k / 100.0 + 0.001, k / 100.0 + 0.002);
        }
        data.ClientModel = QStringLiteral("PSU-40");
        data.SerialNo = serial;
        data.MaxV = 40;
        data.MaxI = 5;
        data.rating = FindRating(40);
        data.EquipmentText = QStringLiteral("HP 34401A");
        data.AmbientTemp = QStringLiteral("23");
        data.TestedBy = QStringLiteral("QA-017");
        data.StartDate = QDate(2026, 3, 14);
        data.AllPass = true;
        data.SpotCount = spots;
    }
    static void measure(SpotGrid& grid, int row, double display, double output)
    {
        SpotResult& s = *grid.spot(row);
        s.display = num::RoundTo(display, grid.valueDecimals());
        s.mean = num::RoundTo(output, grid.valueDecimals());
        s.displayCheck = s.outputCheck = Verdict::Pass;
    }
};

// A certificate: voltage spot 1 found (its output typed) and left, spot 2 left unmeasured; current
// spot 1 left, read as the shunt's voltage.
inline CertificateData Certificate(const QString& number)
{
    SpotResult v;
    v.setting = 12;
    v.display = 12.01;
    v.readings = {{"+1.20034000E+01", 12.0034}, {"+1.20036000E+01\r\n", 12.0036}};
    v.mean = 12.0; // at the grid's resolution
    v.rangeV = 100;
    v.displayLimits = {11.9, 12.1, 0.00592};
    v.outputLimits = {11.86, 12.14, 0.007};
    v.displayCheck = Verdict::Pass;
    v.outputCheck = Verdict::ConditionalPass;
    SpotResult i;
    i.setting = 0.5;
    i.display = 0.5;
    i.readings = {{"+4.99870000E-04", 4.9987e-4}};
    i.mean = 0.5;
    i.rangeV = 1;
    i.outputLimits = {0.495, 0.505, 0.000015};
    i.outputCheck = Verdict::Fail;
    SpotResult typed = v; // the output typed in
    typed.readings.clear();
    typed.mean = 12.02;
    SpotResult unmeasured;
    unmeasured.setting = 24;
    CertificateData c;
    c.number = number;
    c.voltage = {{typed}, {v, unmeasured}};
    c.current.left = {i};
    return c;
}

// Keeps what was drawn, in millimetres; a character is 1 mm wide at 9 pt.
class RecordingCanvas : public ReportCanvas {
public:
    struct Text {
        int page;
        double x, y;
        QString text;
        TextStyle style;
    };
    struct Line {
        int page;
        QLineF line; // a rectangle is kept as its diagonal
        Stroke stroke;
        bool rect;
    };
    QList<Text> texts;
    QList<Line> lines;
    int page = 1;

    QSizeF pageSize() const override { return {210, 297}; }
    double textWidth(const QString& t, const TextStyle& s) const override { return t.size() * s.points / 9.0; }
    double textHeight(const TextStyle& s) const override { return s.points * 0.4; }
    void text(double x, double y, const QString& t, const TextStyle& s) override { texts.append({page, x, y, t, s}); }
    void line(const QLineF& l, const Stroke& s) override { lines.append({page, l, s, false}); }
    void rect(const QRectF& r, const Stroke& s) override
    {
        lines.append({page, QLineF(r.topLeft(), r.bottomRight()), s, true});
    }
    bool newPage() override { return ++page; }

    const Text* find(const QString& t, int onPage = 1) const
    {
        for (const Text& x : texts)
            if (x.text == t && x.page == onPage)
                return &x;
        return nullptr;
    }
    QList<QRectF> rects(int onPage) const
    {
        QList<QRectF> out;
        for (const Line& l : lines)
            if (l.rect && l.page == onPage)
                out << QRectF(l.line.p1(), l.line.p2());
        return out;
    }
};

} // namespace psucal::test
