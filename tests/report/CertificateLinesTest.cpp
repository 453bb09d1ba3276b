#include "report/CertificateLines.h"
#include "report/CertificateData.h"

#include <gtest/gtest.h>

namespace psucal {
namespace {

QStringList Cells(const CertificateLine& l)
{
    return {l.spot, l.setting, l.display, l.reference, l.check, l.error, l.lower, l.upper, l.U, l.tur, l.result};
}

QList<CertificateLine> Lines(bool current, const QList<SpotResult>& spots)
{
    CertificateData c;
    (current ? c.current : c.voltage).left = spots;
    return CertificateLines(current, MeasurementRows::Build(c, QStringLiteral("SN1")));
}

TEST(CertificateLines, TwoChecksPerSpotWithTheirOwnErrorsLimitsAndVerdicts)
{
    SpotResult v;
    v.setting = 12.0;
    v.display = 11.99;
    v.mean = 12.05;
    v.readings = {{"+1.20484000E+01", 12.0484}, {"+1.20486000E+01", 12.0486}};
    v.displayLimits = {11.96, 12.08, 0.0059165};
    v.outputLimits = {11.8501, 12.1299, 0.00592};
    v.displayCheck = Verdict::Pass;
    v.outputCheck = Verdict::ConditionalPass;
    SpotResult second = v;
    second.readings = {{"+1.20500000E+01", 12.05}};
    second.displayCheck = Verdict::Fail;
    second.outputCheck = Verdict::ConditionalFail;

    // The reference readings keep the meter's digits, both spots to the same places.
    const QList<CertificateLine> lines = Lines(false, {v, second});
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(Cells(lines[0]), QStringList({"1", "12.0", "11.99", "12.0485", "display", "-0.01", "11.9600", "12.0800",
                                            "0.0059", "10.1", "Pass"}));
    EXPECT_EQ(Cells(lines[1]),
              QStringList({"", "", "", "", "output", "0.0585", "11.8501", "12.1299", "0.0059", "23.6", "Pass*"}));
    EXPECT_EQ(Cells(lines[2]).mid(0, 4), QStringList({"2", "12.0", "11.99", "12.0500"}));
    EXPECT_EQ(lines[2].result, "Fail");
    EXPECT_EQ(lines[3].result, "Fail*");
}

TEST(CertificateLines, MissingValuesAndUnknownMeterLeaveCellsEmpty)
{
    SpotResult c;
    c.setting = 4.0;
    c.display = 3.998;
    c.displayLimits = {3.996, 4.008, std::nullopt};
    c.displayCheck = Verdict::Pass;
    const QList<CertificateLine> lines = Lines(true, {c});
    EXPECT_EQ(Cells(lines[0]),
              QStringList({"1", "4.00", "3.998", "", "display", "-0.002", "3.99600", "4.00800", "", "", "Pass"}));
    EXPECT_EQ(Cells(lines[1]), QStringList({"", "", "", "", "output", "", "", "", "", "", ""}));
}

TEST(CertificateLines, UncertaintyKeepsTwoSignificantDigits)
{
    EXPECT_EQ(UncertaintyText(0.0059165), "0.0059");
    EXPECT_EQ(UncertaintyText(0.0996), "0.10");
    EXPECT_EQ(UncertaintyText(0.00105), "0.0011");
    EXPECT_EQ(UncertaintyText(12.3), "12");
    EXPECT_EQ(UncertaintyText(0), "0");
}

} // namespace
} // namespace psucal
