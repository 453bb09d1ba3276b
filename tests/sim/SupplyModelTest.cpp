#include "SimTestUtil.h"

#include <QSet>

#include <gtest/gtest.h>

#include <cmath>
#include <map>

using namespace psucal::sim;
using psucal::sim::test::Ask;
using psucal::sim::test::Unit;

class EveryRating : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(Sim, EveryRating, ::testing::Values(20, 40, 60));

TEST_P(EveryRating, AnswersEachFrameAsTheLinkExpects)
{
    SupplyModel m(Unit(GetParam()));
    // "GMAX" and the limits of base row 3 for each rating.
    const std::map<int, std::pair<QByteArray, QByteArray>> figures{
        {20, {"2009990OK", "00<903>7"}}, {40, {"4005000OK", "019201?9"}}, {60, {"6003300OK", "02580154"}}};
    const auto& [rated, limits] = figures.at(GetParam());
    struct Case {
        QByteArray command;
        QByteArray data;
        QByteArray reply;
    } cases[] = {
        {"SESS", "", "OK\r"},    {"SOUT", "1", "OK\r"}, {"SOUT", "2", "ER\r"}, {"ENDS", "", "OK\r"},
        {"VOLT", "050", "OK"},   {"CURR", "100", "OK"}, {"VOLT", "50", "ER"},  {"VOLT", "0x0", "ER"},
        {"CURR", "", "ER"},      {"GMAX", "", rated},   {"GEEP", "160", "ER"}, {"XXXX", "", ""},
        {"GEEP", "003", limits},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Ask(m, c.command, c.data), c.reply) << c.command.constData() << c.data.constData();
    EXPECT_EQ(m.voltageSet(), 5.0); // the malformed set points changed nothing
    EXPECT_EQ(m.currentSet(), 1.0);
    EXPECT_EQ(m.frames().size(), static_cast<qsizetype>(std::size(cases)));
    EXPECT_EQ(m.frames().last(), "GEEP00003");

    const QByteArray getd = Ask(m, "GETD");
    ASSERT_EQ(getd.size(), 12);
    EXPECT_EQ(getd.mid(10), "OK");
    EXPECT_NEAR(getd.left(4).toInt() / 100.0, 5.0, 0.5);
}

TEST(SupplyModel, FramesMayArriveInPiecesOrTogether)
{
    SupplyModel m(Unit(40));
    EXPECT_TRUE(m.receive("GMA").isEmpty());
    const QList<Answer> one = m.receive("X00\rVOLT00");
    ASSERT_EQ(one.size(), 1);
    EXPECT_EQ(one[0].bytes, "4005000OK");
    const QList<Answer> two = m.receive("010\rSESS00\rGARBAGE\r");
    ASSERT_EQ(two.size(), 3);
    EXPECT_EQ(two[0].bytes, "OK");
    EXPECT_EQ(two[1].bytes, "OK\r");
    EXPECT_TRUE(two[2].bytes.isEmpty());
}

TEST(SupplyModel, ImageHoldsBaseDataAndSerialAndABlankBoardNeither)
{
    SupplyConfig c = Unit(60);
    c.serial = QStringLiteral("ABCDEF");
    SupplyModel m(c);
    const QByteArray image = Ask(m, "GEEP");
    ASSERT_EQ(image.size(), 1443);
    EXPECT_EQ(image.mid(1440, 2), "OK");
    auto block = [&](int row) { return image.mid(row * 9, 8); };
    const std::map<int, QByteArray> rows{{0, "00000008"},   {3, "02580154"},   {5, "????0202"},
                                         {156, "41424344"}, {157, "45460000"}, {159, "00000000"}};
    for (const auto& [row, text] : rows)
        EXPECT_EQ(block(row), text) << row;
    for (int row = 0; row < 160; ++row)
        EXPECT_EQ(block(row), m.row(row).toLatin1()) << row;

    c.blank = true;
    SupplyModel blank(c);
    for (int row : {0, 3, 80, 120, 156})
        EXPECT_EQ(blank.row(row), "00000000");
}

TEST(SupplyModel, SeepStoresAWellFormedRowAndNothingElse)
{
    SupplyModel m(Unit(20));
    EXPECT_EQ(Ask(m, "SEEP", "00712345678"), "OK\r");
    EXPECT_EQ(Ask(m, "GEEP", "007"), "12345678");
    const QString before = m.row(8);
    for (const char* bad : {"0081234567", "0081234567A", "16012345678", "0x812345678", "008123456789"})
        EXPECT_EQ(Ask(m, "SEEP", bad), "ER\r") << bad;
    EXPECT_EQ(m.row(8), before);
}

// A seed names a unit: its cells, and its display's own error of a few steps that drifts with
// load (the voltage reading sags with the current, the current reading creeps with its square).
TEST(SupplyModel, ASeedNamesAUnitAndItsDisplayError)
{
    SupplyModel a(Unit(40, 3)), b(Unit(40, 3)), c(Unit(40, 4));
    EXPECT_EQ(a.image(), b.image());
    EXPECT_NE(a.image(), c.image());
    for (SupplyModel* m : {&a, &b})
        Ask(*m, "VOLT", "390");
    EXPECT_EQ(a.display().volts, b.display().volts);
    QSet<long> offsets;
    int drifting = 0;
    for (quint32 seed = 1; seed <= 20; ++seed) {
        SupplyModel m(Unit(40, seed));
        m.setTerminals(Terminals::Open);
        Ask(m, "VOLT", "390");
        const double off = m.display().volts - m.trueOutput().volts;
        EXPECT_LE(std::fabs(off), 0.065) << seed; // three steps of offset, three of gain, rounding
        offsets.insert(std::lround(off * 100));
        const DisplayError& e = m.displayError();
        const double sag = e.volts(20, 5) - e.volts(20, 0);
        const double creep = e.amps(5) - 2 * e.amps(2.5) + e.amps(1e-9); // the linear part cancels
        EXPECT_TRUE(sag <= 0 && sag >= -0.02 && std::fabs(creep) <= 0.001 + 1e-9) << seed;
        drifting += sag < -0.005 && std::fabs(creep) > 0.0002;
    }
    EXPECT_GE(offsets.size(), 6);
    EXPECT_GE(drifting, 3);
}
