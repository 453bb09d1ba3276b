#include "report/CertificateLines.h"
#include "report/CertificateData.h"

#include <gtest/gtest.h>

namespace psucal {
namespace {

QList<QStringList> Lines(bool current, const QList<SpotResult>& spots)
{
    CertificateData c;
    (current ? c.current : c.voltage).left = spots;
    QList<QStringList> out;
    for (const CertificateLine& l : CertificateLines(current, MeasurementRows::Build(c, QStringLiteral("SN1"))))
        out << QStringList{l.spot,  l.setting, l.display, l.reference, l.check, l.error,
                           l.lower, l.upper,   l.U,       l.tur,       l.result};
    return out;
}

SpotResult Spot(double setting, double display, const QList<Reading>& readings, const CheckLimits& displayLimits,
                const CheckLimits& outputLimits, Verdict output)
{
    SpotResult s;
    s.setting = setting;
    s.display = display;
    s.readings = readings;
    s.displayLimits = displayLimits;
    s.outputLimits = outputLimits;
    s.displayCheck = Verdict::Pass;
    s.outputCheck = output;
    return s;
}

// The reference readings keep the meter's digits, every spot of a table to the same places; a
// missing value or an unknown meter leaves its cells empty. The display check, which decides
// nothing, says where the display lies in its window rather than pass or fail.
TEST(CertificateLines, TwoChecksPerSpotWithTheirOwnErrorsLimitsAndVerdicts)
{
    const SpotResult v = Spot(12.0, 11.99, {{"+1.20484000E+01", 12.0484}, {"+1.20486000E+01", 12.0486}},
                              {11.96, 12.08, 0.0059165}, {11.8501, 12.1299, 0.00592}, Verdict::ConditionalPass);
    SpotResult second = v;
    second.readings = {{"+1.20500000E+01", 12.05}};
    second.displayCheck = Verdict::ConditionalFail;
    second.outputCheck = Verdict::ConditionalFail;
    EXPECT_EQ(
        Lines(false, {v, second}),
        QList<QStringList>(
            {{"1", "12.0", "11.99", "12.0485", "display", "-0.01", "11.9600", "12.0800", "0.0059", "10.1", "ok"},
             {"", "", "", "", "output", "0.0585", "11.8501", "12.1299", "0.0059", "23.6", "Pass*"},
             {"2", "12.0", "11.99", "12.0500", "display", "-0.01", "11.9600", "12.0800", "0.0059", "10.1", "low*"},
             {"", "", "", "", "output", "0.0600", "11.8501", "12.1299", "0.0059", "23.6", "Fail*"}}));

    SpotResult c = Spot(4.0, 4.010, {}, {3.996, 4.008, std::nullopt}, {}, Verdict::NotMeasured);
    c.displayCheck = Verdict::Fail;
    EXPECT_EQ(Lines(true, {c}),
              QList<QStringList>({{"1", "4.00", "4.010", "", "display", "0.010", "3.99600", "4.00800", "", "", "high"},
                                  {"", "", "", "", "output", "", "", "", "", "", ""}}));

    EXPECT_EQ(UncertaintyText(0.0996), "0.10"); // the carry makes the first digit
}

} // namespace
} // namespace psucal
