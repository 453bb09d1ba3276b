#include "SimTestUtil.h"

#include "core/Numbers.h"
#include "link/Nibble.h"
#include "sim/Rating.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace psucal;
using namespace psucal::sim;
using psucal::sim::test::Ask;
using psucal::sim::test::Unit;

namespace {

struct Quantity {
    bool voltage;
    double gain;
    double clamp;
    double lastPoint; // highest point the sweeps adjust
};

QByteArray Digits(double value, int decimals)
{
    return num::Digits(value * std::pow(10, decimals), 3).toLatin1();
}

// The damped correction the calibration applies, from the unit's own display, until the
// error sits in the default window or five attempts are spent. Returns the last error.
double Calibrate(SupplyModel& m, const PointScale& s, int index, double set, const Quantity& q)
{
    const int scale = q.voltage ? 100 : 1000;
    const int decimals = q.voltage ? 2 : 3;
    const double lo = q.voltage ? 0.02 : 0.002;
    const double hi = q.voltage ? 0.08 : 0.008;
    const QByteArray command = q.voltage ? "VOLT" : "CURR";
    const QByteArray target = Digits(set, q.voltage ? 1 : 2);
    auto display = [&] {
        const QByteArray d = Ask(m, "GETD");
        return q.voltage ? d.left(4).toInt() / 100.0 : d.mid(4, 4).toInt() / 1000.0;
    };

    Ask(m, command, target);
    double error = num::RoundTo(display() - set, decimals);
    const QByteArray row = QByteArray::number(s.row(index)).rightJustified(3, '0');
    for (int attempt = 0; attempt < 5 && (error < lo - 1e-9 || error > hi + 1e-9); ++attempt) {
        QString cells = QString::fromLatin1(Ask(m, "GEEP", row));
        const double old = nibble::DecodeSigned(cells.mid(2 * s.cell(index) - 2, 2), scale);
        const double shown = error + set;
        double fresh = q.voltage ? num::RoundTo(0.02 * q.gain + old + q.gain * (set - shown), 2)
                                 : num::RoundTo(old + q.gain * (set - shown), 3) + 0.004 * q.gain;
        fresh = std::clamp(fresh, -q.clamp, q.clamp);
        cells.replace(2 * s.cell(index) - 2, 2, nibble::EncodeSigned(fresh, scale));
        EXPECT_EQ(Ask(m, "SEEP", row + cells.toLatin1()), "OK\r");
        Ask(m, command, target);
        error = num::RoundTo(display() - set, decimals);
    }
    return error;
}

struct Outcome {
    int outside = 0;
    int adjusted = 0;
    int written = 0;
};

Outcome Sweep(SupplyModel& m, bool voltage)
{
    const Rating& r = *m.rating();
    const bool twenty = r.volts == 20;
    const Quantity q =
        voltage ? Quantity{true, r.voltage.gain, 0.67, r.volts == 20 ? 20.2 : (r.volts == 40 ? 40.4 : 60.2)}
                : Quantity{false, r.current.gain, twenty ? 0.05 : 0.067, twenty ? 9.92 : (r.volts == 40 ? 5.04 : 3.40)};
    const PointScale& s = voltage ? r.voltage : r.current;
    Ask(m, "SOUT", voltage ? "1" : "0");
    const qsizetype framesBefore = m.frames().size();
    Outcome out;
    for (int i = 0; i < s.count(); ++i) {
        const double point = s.setPoint(i);
        if (point < (voltage ? 0.99 : 0.01) || point > q.lastPoint + 1e-6)
            continue;
        const double set = std::min(point, static_cast<double>(r.volts)); // the top cell is set at the rating
        const double error = Calibrate(m, s, i, set, q);
        ++out.adjusted;
        const bool inside =
            voltage ? (error >= 0.02 - 1e-9 && error <= 0.08 + 1e-9) : (error >= 0.002 - 1e-9 && error <= 0.008 + 1e-9);
        if (!inside)
            ++out.outside;
        EXPECT_TRUE(inside || m.config().defect)
            << r.volts << " V unit, " << (voltage ? "V " : "A ") << set << ": error " << error;
    }
    for (qsizetype i = framesBefore; i < m.frames().size(); ++i)
        out.written += m.frames()[i].startsWith(u"SEEP");
    return out;
}

} // namespace

class Convergence : public ::testing::TestWithParam<std::tuple<int, quint32>> {};
INSTANTIATE_TEST_SUITE_P(Sim, Convergence,
                         ::testing::Combine(::testing::Values(20, 40, 60), ::testing::Values(1u, 2u, 3u, 17u, 4242u)));

TEST_P(Convergence, EveryPointOfAWellBehavedUnitEndsInsideTheWindow)
{
    SupplyModel m(Unit(std::get<0>(GetParam()), std::get<1>(GetParam())));
    const int points = std::get<0>(GetParam()) == 20 ? 97 : (std::get<0>(GetParam()) == 40 ? 198 : 149);
    const int currents = std::get<0>(GetParam()) == 20 ? 124 : (std::get<0>(GetParam()) == 40 ? 126 : 85);
    const Outcome v = Sweep(m, true);
    const Outcome a = Sweep(m, false);
    EXPECT_EQ(v.adjusted, points);
    EXPECT_EQ(a.adjusted, currents);
    // As found, most points are off: the corrections are what brought them in.
    EXPECT_GT(v.written, points / 4);
    EXPECT_GT(a.written, currents / 4);
}

TEST_P(Convergence, ADefectiveUnitCannotBeCorrectedEverywhere)
{
    SupplyConfig c = Unit(std::get<0>(GetParam()), std::get<1>(GetParam()));
    c.defect = true;
    SupplyModel m(c);
    const Outcome v = Sweep(m, true);
    const Outcome a = Sweep(m, false);
    EXPECT_GT(v.outside, v.adjusted / 3);
    EXPECT_GT(a.outside, a.adjusted / 3);
}
