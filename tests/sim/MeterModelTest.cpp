#include "SimTestUtil.h"
#include "sim/MeterModel.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cmath>

using namespace psucal;
using namespace psucal::sim;
using psucal::sim::test::Ask;
using psucal::sim::test::Unit;

namespace {

QByteArray Say(MeterModel& meter, const QByteArray& line)
{
    QByteArray out;
    for (const Answer& a : meter.receive(line + '\n'))
        out += a.bytes;
    return out;
}

double Read(MeterModel& meter)
{
    return Say(meter, ":READ?").trimmed().toDouble();
}

} // namespace

TEST(MeterModel, AnswersLikeTheInstrumentOverRs232)
{
    SupplyModel unit(Unit(60));
    MeterModel meter(unit);
    Ask(unit, "VOLT", "120");
    EXPECT_EQ(Say(meter, "*IDN?"), QByteArray(MeterModel::Identity) + "\r\n");
    EXPECT_EQ(Say(meter, ":READ?"), "");
    EXPECT_EQ(Say(meter, ":SYST:ERR?"), "+550,\"Command not allowed in local\"\r\n");
    EXPECT_EQ(Say(meter, ":SYSTem:ERRor?"), "+0,\"No error\"\r\n");

    EXPECT_EQ(Say(meter, ":SYSTem:REMote"), "");
    EXPECT_EQ(Say(meter, ":configure:voltage:dc 60,0.01"), "");
    const QByteArray reading = Say(meter, ":READ?");
    EXPECT_TRUE(QRegularExpression("^\\+1\\.\\d{3}0{5}E\\+01\r\n$").match(QString::fromLatin1(reading)).hasMatch())
        << reading.constData();

    // Bad lines queue their errors and change nothing.
    Say(meter, ":CONF:VOLT:DC 2000,0.01");
    Say(meter, ":CONF:VOLT:DC 10,fine");
    Say(meter, ":SYST:BEEP");
    EXPECT_EQ(Say(meter, ":SYST:ERR?"), "-222,\"Data out of range\"\r\n");
    EXPECT_EQ(Say(meter, ":SYST:ERR?"), "-224,\"Illegal parameter value\"\r\n");
    EXPECT_EQ(Say(meter, ":SYST:ERR?"), "-113,\"Undefined header\"\r\n");
    EXPECT_EQ(meter.range(), 100);

    Say(meter, ":SYST:LOCal");
    EXPECT_FALSE(meter.remote());
    EXPECT_EQ(Say(meter, ":READ?"), "");
}

TEST(MeterModel, MeasuresOutputOrShuntAtTheConfiguredResolution)
{
    SupplyModel unit(Unit(60, 7));
    MeterModel meter(unit, 7);
    Say(meter, ":SYST:REM");
    Ask(unit, "VOLT", "325");
    Say(meter, ":CONF:VOLT:DC 60,0.01");
    const double volts = Read(meter);
    EXPECT_NEAR(volts, unit.trueOutput().volts, 0.03 + 1e-9); // a few counts of noise
    EXPECT_NEAR(meter.readingTime(), 0.0108, 1e-9);

    Say(meter, ":CONF:VOLT:DC 10,0.01");
    EXPECT_EQ(Say(meter, ":READ?"), "+9.90000000E+37\r\n");

    unit.setTerminals(Terminals::Short);
    Ask(unit, "CURR", "200");
    Say(meter, ":CONF:VOLT:DC 1,0.000001");
    const double shunt = Read(meter);
    EXPECT_NEAR(shunt, unit.trueOutput().amps * MeterModel::ShuntOhms, 3e-6);
    EXPECT_NEAR(shunt * 1e6, std::round(shunt * 1e6), 1e-6);
    EXPECT_NEAR(meter.readingTime(), 0.41, 1e-9);
}

TEST(MeterModel, FaultsAlterTheRepliesTheyName)
{
    SupplyModel unit(Unit(40));
    MeterModel meter(unit);
    Ask(unit, "VOLT", "100");
    ASSERT_TRUE(meter.addFault("READ?:zero:nth=2"));
    ASSERT_TRUE(meter.addFault("read?:overload:nth=3"));
    ASSERT_TRUE(meter.addFault("READ?:truncate=10:nth=4"));
    ASSERT_TRUE(meter.addFault("METER:lost:nth=1"));
    QString error;
    EXPECT_FALSE(meter.addFault("GETD:silence", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(FaultRule::Parse("GETD:zero"));

    Say(meter, ":SYST:REM"); // lost: the meter stays in local
    EXPECT_EQ(Say(meter, ":READ?"), "");
    Say(meter, ":SYST:REM");
    EXPECT_EQ(Say(meter, ":READ?"), "+0.00000000E+00\r\n");
    EXPECT_EQ(Say(meter, ":READ?"), "+9.90000000E+37\r\n");
    EXPECT_EQ(Say(meter, ":READ?").size(), 10);
    EXPECT_NEAR(Read(meter), 10, 0.3);
}

