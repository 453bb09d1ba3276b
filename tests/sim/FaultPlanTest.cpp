#include "SimTestUtil.h"

#include <gtest/gtest.h>

using namespace psucal::sim;
using psucal::sim::test::Ask;
using psucal::sim::test::Unit;

TEST(FaultRule, ParsesTheTextForm)
{
    auto rule = FaultRule::Parse(QStringLiteral("GETD:silence:nth=3"));
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->word, "GETD");
    EXPECT_EQ(rule->kind, FaultRule::Kind::Silence);
    EXPECT_EQ(rule->when, FaultRule::When::Nth);
    EXPECT_EQ(rule->n, 3);

    rule = FaultRule::Parse(QStringLiteral("*:vanish=2.5:from=120"));
    ASSERT_TRUE(rule);
    EXPECT_TRUE(rule->word.isEmpty());
    EXPECT_EQ(rule->kind, FaultRule::Kind::Vanish);
    EXPECT_DOUBLE_EQ(rule->value, 2.5);
    EXPECT_EQ(rule->when, FaultRule::When::From);

    rule = FaultRule::Parse(QStringLiteral("GEEP:shortrow"));
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->value, 5);
    EXPECT_EQ(rule->when, FaultRule::When::Every);
}

TEST(FaultRule, RejectsMalformedTextWithAReason)
{
    for (const char* bad :
         {"GETD", "GETD:melt", "GETD:late", "GETD:garbage=3", "GETD:silence:nth=0", "GETD:silence:sometimes",
          "GE:silence", "GETD:truncate=-1", "GETD:late=x", "GETD:silence:nth=1:extra"}) {
        QString error;
        EXPECT_FALSE(FaultRule::Parse(QString::fromLatin1(bad), &error)) << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
}

TEST(FaultPlan, CountsOnlyFramesOfItsWord)
{
    SupplyModel m(Unit(40));
    ASSERT_TRUE(m.faults().add(QStringLiteral("GETD:silence:nth=2")));
    ASSERT_TRUE(m.faults().add(QStringLiteral("VOLT:truncate=1:from=2")));
    EXPECT_EQ(Ask(m, "GETD").size(), 12);
    EXPECT_EQ(Ask(m, "VOLT", "010"), "OK");
    EXPECT_EQ(Ask(m, "GETD"), "");
    EXPECT_EQ(Ask(m, "VOLT", "010"), "O");
    EXPECT_EQ(Ask(m, "GETD").size(), 12);
    EXPECT_EQ(Ask(m, "VOLT", "010"), "O");
}

TEST(FaultPlan, WordMayNameTheStartOfTheData)
{
    SupplyModel m(Unit(40));
    m.faults().add(QStringLiteral("SEEP156:lost"));
    m.faults().add(QStringLiteral("GEEP:shortrow=3"));
    EXPECT_EQ(Ask(m, "SEEP",
                  "156"
                  "12345678"),
              "");
    EXPECT_EQ(Ask(m, "SEEP",
                  "157"
                  "12345678"),
              "OK\r");
    EXPECT_NE(m.row(156), "12345678");
    EXPECT_EQ(m.row(157), "12345678");
    EXPECT_EQ(Ask(m, "GEEP", "157"), "123");
    EXPECT_EQ(Ask(m, "GEEP").size(), 1443); // the whole image is no row read
}

TEST(FaultPlan, EachKindAltersTheAnswerAsNamed)
{
    auto apply = [](const char* rule, const QByteArray& command, const QByteArray& data = {}) {
        SupplyModel m(Unit(40));
        m.faults().add(QString::fromLatin1(rule));
        const QList<Answer> a = m.receive(command + "00" + data + '\r');
        return a.value(0);
    };
    EXPECT_EQ(apply("GMAX:silence", "GMAX").bytes, "");
    EXPECT_EQ(apply("GMAX:truncate=4", "GMAX").bytes, "4005");
    EXPECT_EQ(apply("GMAX:dropchar", "GMAX").bytes, "400500OK"); // the middle character
    EXPECT_EQ(apply("GMAX:dropchar=1", "GMAX").bytes, "005000OK");
    EXPECT_EQ(apply("GMAX:nondigits", "GMAX").bytes, "eaafaaaOK");

    const QByteArray garbage = apply("GETD:garbage", "GETD").bytes;
    ASSERT_EQ(garbage.size(), 12);
    for (char c : garbage)
        EXPECT_FALSE(c >= '0' && c <= '?') << c;

    const Answer late = apply("*:late=0.5", "SESS");
    EXPECT_EQ(late.bytes, "OK\r");
    EXPECT_DOUBLE_EQ(late.extraDelay, 0.5);

    const Answer gone = apply("GETD:vanish=2", "GETD");
    EXPECT_TRUE(gone.vanish);
    EXPECT_DOUBLE_EQ(gone.restoreAfter, 2);
    EXPECT_TRUE(gone.bytes.isEmpty());
}
