#include "SimTestUtil.h"

#include "link/Nibble.h"
#include "sim/Rating.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace psucal::sim;
using psucal::sim::test::Ask;
using psucal::sim::test::Unit;

class EveryRating : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(Sim, EveryRating, ::testing::Values(20, 40, 60));

TEST_P(EveryRating, AnswersEachCommandWithItsLength)
{
    SupplyModel m(Unit(GetParam()));
    EXPECT_EQ(Ask(m, "SESS"), "OK\r");
    EXPECT_EQ(Ask(m, "SOUT", "1"), "OK\r");
    EXPECT_EQ(Ask(m, "ENDS"), "OK\r");
    EXPECT_EQ(Ask(m, "VOLT", "050"), "OK");
    EXPECT_EQ(Ask(m, "CURR", "100"), "OK");
    EXPECT_EQ(m.voltageSet(), 5.0);
    EXPECT_EQ(m.currentSet(), 1.0);

    const QByteArray getd = Ask(m, "GETD");
    ASSERT_EQ(getd.size(), 12);
    EXPECT_EQ(getd.mid(10), "OK");
    EXPECT_NEAR(getd.left(4).toInt() / 100.0, 5.0, 0.5);

    EXPECT_EQ(Ask(m, "GEEP", "003"), FindRating(GetParam())->baseRows[3].toLatin1());
    EXPECT_EQ(Ask(m, "GEEP").size(), 1443);
    EXPECT_EQ(Ask(m, "SEEP",
                  "150"
                  "0123?:<>"),
              "OK\r");
    EXPECT_EQ(Ask(m, "XXXX"), "");
    EXPECT_EQ(m.frames().size(), 10);
    EXPECT_EQ(m.frames().first(), "SESS00");
    EXPECT_EQ(m.frames().last(), "XXXX00");
}

TEST(SupplyModel, ReportsItsRatingTheWayIdentificationReadsIt)
{
    SupplyModel m20(Unit(20)), m40(Unit(40)), m60(Unit(60)), none(Unit(30));
    EXPECT_EQ(Ask(m20, "GMAX"), "2009990OK");
    EXPECT_EQ(Ask(m40, "GMAX"), "4005000OK");
    EXPECT_EQ(Ask(m60, "GMAX"), "6003300OK");
    const QByteArray unrated = Ask(none, "GMAX");
    ASSERT_EQ(unrated.size(), 9);
    EXPECT_NE(unrated.mid(7), "OK");
}

TEST(SupplyModel, RejectsMalformedSetPointsAndLeavesTheSetting)
{
    SupplyModel m(Unit(40));
    Ask(m, "VOLT", "123");
    EXPECT_EQ(Ask(m, "VOLT", "50"), "ER");
    EXPECT_EQ(Ask(m, "VOLT", "0x0"), "ER");
    EXPECT_EQ(Ask(m, "CURR", ""), "ER");
    EXPECT_EQ(Ask(m, "VOLT", "0600"), "OK");
    EXPECT_DOUBLE_EQ(m.voltageSet(), 60.0);
    EXPECT_EQ(Ask(m, "GEEP", "160"), "ER");
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

TEST(SupplyModel, ImageHoldsBaseDataCalibrationCellsAndSerial)
{
    SupplyConfig c = Unit(60);
    c.serial = QStringLiteral("ABCDEF");
    SupplyModel m(c);
    const QByteArray image = Ask(m, "GEEP");
    ASSERT_EQ(image.size(), 1443);
    EXPECT_EQ(image.mid(1440, 2), "OK");
    auto block = [&](int row) { return image.mid(row * 9, 8); };
    EXPECT_EQ(block(0), "00000008");
    EXPECT_EQ(block(3), "02580154");
    EXPECT_EQ(block(5), "????0202");
    EXPECT_EQ(block(156), "41424344");
    EXPECT_EQ(block(157), "45460000");
    EXPECT_EQ(block(158), "00000000");
    EXPECT_EQ(block(159), "00000000");
    for (int row = 0; row < 160; ++row)
        EXPECT_EQ(block(row), m.row(row).toLatin1()) << row;

    // As found, every calibration cell holds a small sign-and-magnitude correction.
    const Rating& r = *m.rating();
    for (const PointScale* s : {&r.voltage, &r.current}) {
        for (int i = 0; i < s->count(); ++i) {
            const QString cell = m.row(s->row(i)).mid(2 * s->cell(i) - 2, 2);
            const double scale = s == &r.voltage ? 100 : 1000;
            EXPECT_LE(std::abs(psucal::nibble::DecodeSigned(cell, scale)) * scale, 5.0) << cell.toStdString();
        }
    }
}

TEST(SupplyModel, BlankBoardHasNoBaseDataOrSerial)
{
    SupplyConfig c = Unit(40);
    c.blank = true;
    SupplyModel m(c);
    for (int row : {0, 1, 3, 80, 120, 156})
        EXPECT_EQ(m.row(row), "00000000");
    EXPECT_EQ(Ask(m, "GMAX"), "4005000OK");
}

TEST(SupplyModel, SeepStoresAWellFormedRowAndNothingElse)
{
    SupplyModel m(Unit(20));
    EXPECT_EQ(Ask(m, "SEEP",
                  "007"
                  "12345678"),
              "OK\r");
    EXPECT_EQ(Ask(m, "GEEP", "007"), "12345678");
    const QString before = m.row(8);
    for (const QByteArray& bad : {QByteArray("008"
                                             "1234567"),
                                  QByteArray("008"
                                             "1234567A"),
                                  QByteArray("160"
                                             "12345678"),
                                  QByteArray("0x8"
                                             "12345678"),
                                  QByteArray("008"
                                             "123456789")})
        EXPECT_EQ(Ask(m, "SEEP", bad), "ER\r") << bad.constData();
    EXPECT_EQ(m.row(8), before);
}

TEST(SupplyModel, TerminalsDecideWhatTheDisplayShows)
{
    SupplyModel m(Unit(40));
    Ask(m, "VOLT", "100");
    Ask(m, "CURR", "200");
    Ask(m, "SOUT", "1");
    EXPECT_FALSE(m.shorted());
    QByteArray d = Ask(m, "GETD");
    EXPECT_NEAR(d.left(4).toInt() / 100.0, 10.0, 0.5);
    EXPECT_EQ(d.mid(4, 4), "0000");

    Ask(m, "SOUT", "0");
    EXPECT_TRUE(m.shorted());
    d = Ask(m, "GETD");
    EXPECT_LT(d.left(4).toInt(), 5);
    EXPECT_NEAR(d.mid(4, 4).toInt() / 1000.0, 2.0, 0.1);
    EXPECT_NEAR(m.trueOutput().amps, 2.0, 0.1);

    m.setTerminals(Terminals::Open);
    Ask(m, "SOUT", "0");
    EXPECT_FALSE(m.shorted());
    EXPECT_EQ(m.outputState(), 0);
}

TEST_P(EveryRating, ACellMovesTheOutputByItsValueOverTheGain)
{
    SupplyModel m(Unit(GetParam(), 7));
    const Rating& r = *m.rating();
    const int i = r.voltage.count() / 2;
    const double set = r.voltage.setPoint(i);
    Ask(m, "VOLT", QByteArray::number(std::lround(set * 10)).rightJustified(3, '0'));
    const double before = m.trueOutput().volts;
    m.eeprom().setSignedUnits(r.voltage.row(i), r.voltage.cell(i),
                              m.eeprom().signedUnits(r.voltage.row(i), r.voltage.cell(i)) + 10);
    EXPECT_NEAR(m.trueOutput().volts - before, 0.10 / r.voltage.gain, 1e-9);
    EXPECT_NEAR(before, set, 0.5);
}

TEST(SupplyModel, ASeedNamesAUnit)
{
    SupplyModel a(Unit(40, 3)), b(Unit(40, 3)), c(Unit(40, 4));
    EXPECT_EQ(a.image(), b.image());
    EXPECT_NE(a.image(), c.image());
    for (SupplyModel* m : {&a, &b, &c})
        Ask(*m, "VOLT", "200");
    EXPECT_EQ(a.trueOutput().volts, b.trueOutput().volts);
    EXPECT_NE(a.trueOutput().volts, c.trueOutput().volts);
}
