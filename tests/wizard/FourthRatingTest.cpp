#include "terminal/CommandLine.h"
#include "core/Rating.h"
#include "report/ReportPainter.h"
#include "tests/support/VirtualSession.h"
#include "tests/report/ReportFixture.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <algorithm>

using namespace psucal;
using namespace psucal::test;

namespace {

// A rating psucal does not ship, known to it only through this row.
Rating Eighty()
{
    return {
        .gmaxVolts10 = 800,
        .gmaxAmps100 = 250,
        .name = QStringLiteral("80V/2.5A"),
        .product = QStringLiteral("QRB-4400"),
        // Rows, row and cell step, offset, first and last cell adjusted, none at MaxV, progress, gain, clamp:
        // 0.6 V apart up to 79.8 V, and 0.04 A apart up to 2.52 A.
        .voltage = {59, 92, 240, 60, -14160, {59, 1}, {92, 1}, std::nullopt, 136, 0.25, 0.67},
        .current = {110, 125, 16, 4, -1764, {110, 2}, {125, 4}, std::nullopt, 64, 0.5, 0.067},
        .baseData = {{
            {0, {"00", "00", "00", "08"}},
            {1, {"<8", "05", "7=", "08"}},
            {2, {"0:", "0:", "00", "00"}},
            {3, {"03", "20", "00", "?:"}}, // 800, 250
            {4, {"00", "00", "00", "00"}},
            {5, {"??", "??", "02", "02"}},
            {7, {"03", "20", "00", "00"}},
        }},
        .printsCurrentFraction = true,
        .chartAmps = 0.05,
        .sim = {.voltageGain = 0.25, .currentGain = 0.5},
    };
}

// Cells were written, all of them into rows first..last.
bool Within(const QStringList& frames, int first, int last)
{
    const QStringList seep = frames.filter(QRegularExpression("^SEEP"));
    return !seep.isEmpty() && std::all_of(seep.begin(), seep.end(), [&](const QString& f) {
        const int row = f.mid(6, 3).toInt();
        return row >= first && row <= last;
    });
}

struct Registered {
    Registered() : row(AddRating(Eighty())) {}
    ~Registered() { RemoveRating(row); }
    const Rating& row;
};

} // namespace

TEST(FourthRating, BlankBoardIsDefinedCalibratedAndVerifiedToPass)
{
    const Registered eighty;
    VirtualSession b(sim::SupplyConfig{.ratingV = 80, .seed = 3, .serial = QString(), .blank = true});
    b.loadFull(0);
    const FullWindowUi& f = b.ui.full();
    EXPECT_EQ(b.ui.rating(), &eighty.row);
    EXPECT_EQ(f.modelEntries.last(), "QRB-4400");
    EXPECT_EQ(f.windowCaption, "Calibration 80V/2.5A (Equipment HP-34401A) V1.0");

    b.full.TxtH_Change(4, "SN80-0001");
    b.full.Command1_Click(1);
    ASSERT_EQ(f.step[0], 2) << b.recorder.messages.join('|').toStdString();
    EXPECT_EQ(b.st.SerialNo, "SN80-0001");
    EXPECT_EQ(b.model.row(3), "032000?:");
    EXPECT_EQ(b.model.row(7), "03200000");

    int n = b.model.frames().size();
    b.full.Command1_Click(1);
    QStringList sent = b.framesSince(n);
    EXPECT_TRUE(Within(sent, 59, 92));
    EXPECT_TRUE(sent.contains("VOLT00798") && !sent.contains("VOLT00804")); // the last cell inside the range
    EXPECT_TRUE(b.meterLines().contains(":CONF:VOLT:DC 80,0.01"));
    EXPECT_TRUE(b.st.VoltPass) << b.recorder.messages.join('|').toStdString();

    n = b.model.frames().size();
    b.full.Command1_Click(1);
    sent = b.framesSince(n);
    EXPECT_TRUE(Within(sent, 110, 125));
    EXPECT_TRUE(sent.contains("CURR00250"));
    EXPECT_TRUE(b.st.CurrPass && b.st.AllPass && f.printEnabled);
    EXPECT_EQ(b.ui.caption(), "Fulfill");
    EXPECT_TRUE(b.recorder.messages.isEmpty()) << b.recorder.messages.join('|').toStdString();

    RecordingCanvas report;
    ASSERT_TRUE(ReportPainter(b.reportData(), report).paint());
    EXPECT_TRUE(report.find("Max Output Current : 2.5A")); // the row keeps the fraction
}

TEST(FourthRating, CommandLineOffersTheRow)
{
    const Registered eighty;
    const Options o = parseCommandLine(
        QStringList{"--batch", "--run-mode", "0", "--define", "--serial", "S", "--model", "80", "--simulate", "80"});
    ASSERT_TRUE(o.error.isEmpty()) << o.error.toStdString();
    EXPECT_EQ(RatingAt(o.model), &eighty.row);
    EXPECT_EQ(o.simModel, 80);
    EXPECT_TRUE(helpText().contains("(20V/10A, 40V/5A, 60V/3.3A or 80V/2.5A)"));
    EXPECT_EQ(parseCommandLine(QStringList{"--model", "50"}).error, "--model takes 20, 40, 60 or 80, not '50'");
}
