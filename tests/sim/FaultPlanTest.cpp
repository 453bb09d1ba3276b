#include "SimTestUtil.h"

#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

using namespace psucal::sim;
using psucal::sim::test::Ask;
using psucal::sim::test::Unit;

TEST(FaultRule, ParsesTheTextFormAndRejectsMalformedTextWithAReason)
{
    auto rule = FaultRule::Parse(QStringLiteral("*:vanish=2.5:from=120"));
    ASSERT_TRUE(rule);
    EXPECT_TRUE(rule->word.isEmpty());
    EXPECT_EQ(rule->kind, FaultRule::Kind::Vanish);
    EXPECT_DOUBLE_EQ(rule->value, 2.5);
    EXPECT_EQ(rule->when, FaultRule::When::From);
    EXPECT_EQ(rule->n, 120);

    rule = FaultRule::Parse(QStringLiteral("GEEP:shortrow"));
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->value, 5);
    EXPECT_EQ(rule->when, FaultRule::When::Every);

    for (const char* bad :
         {"GETD", "GETD:melt", "GETD:late", "GETD:garbage=3", "GETD:silence:nth=0", "GETD:silence:sometimes",
          "GE:silence", "GETD:truncate=-1", "GETD:late=x", "GETD:silence:nth=1:extra", "GEEP:flipnibble=9",
          "GEEP:flipnibble:p=0", "GEEP:flipnibble:p=1.5"}) {
        QString error;
        EXPECT_FALSE(FaultRule::Parse(QString::fromLatin1(bad), &error)) << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
}

TEST(FaultPlan, FlippedNibblesKeepARowReadValidAndChanceIsRepeatablePerSeed)
{
    SupplyModel m(Unit(40));
    const QByteArray row = m.row(60).toLatin1();
    ASSERT_TRUE(m.faults().add(QStringLiteral("GEEP060:flipnibble=3:nth=1")));
    const QByteArray flipped = Ask(m, "GEEP", "060");
    ASSERT_EQ(flipped.size(), 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(flipped[i] != row[i], i == 2) << flipped.constData();
    EXPECT_TRUE(flipped[2] >= '0' && flipped[2] <= '?');
    EXPECT_EQ(Ask(m, "GEEP", "060"), row);
    EXPECT_EQ(Ask(m, "GEEP", "").size(), 1443); // the whole image is no row read

    auto hits = [](quint32 seed) {
        SupplyModel u(Unit(40, seed));
        u.faults().add(QStringLiteral("GEEP:flipnibble:p=0.25"));
        QString pattern;
        for (int i = 0; i < 200; ++i)
            pattern += Ask(u, "GEEP", "061") == u.row(61).toLatin1() ? u'.' : u'x';
        return pattern;
    };
    const QString a = hits(7);
    EXPECT_EQ(a, hits(7));
    EXPECT_NE(a, hits(8));
    EXPECT_GT(a.count(u'x'), 25);
    EXPECT_LT(a.count(u'x'), 80);
}

TEST(FaultPlan, CountsOnlyFramesOfItsWordOrDataPrefix)
{
    SupplyModel m(Unit(40));
    ASSERT_TRUE(m.faults().add(QStringLiteral("GETD:silence:nth=2")));
    ASSERT_TRUE(m.faults().add(QStringLiteral("VOLT:truncate=1:from=2")));
    ASSERT_TRUE(m.faults().add(QStringLiteral("SEEP156:lost")));
    ASSERT_TRUE(m.faults().add(QStringLiteral("GEEP:shortrow=3")));
    struct Exchange {
        QByteArray frame;
        QByteArray reply;
        int size = -1; // when only the length matters
    } exchanges[] = {
        {"GETD", "", 12},
        {"VOLT010", "OK"},
        {"GETD", ""},
        {"VOLT010", "O"},
        {"GETD", "", 12},
        {"VOLT010", "O"},
        {"SEEP15612345678", ""},
        {"SEEP15712345678", "OK\r"},
        {"GEEP157", "123"},
        {"GEEP", "", 1443},
    };
    for (const Exchange& e : exchanges) {
        const QByteArray reply = Ask(m, e.frame.left(4), e.frame.mid(4));
        if (e.size >= 0)
            EXPECT_EQ(reply.size(), e.size) << e.frame.constData();
        else
            EXPECT_EQ(reply, e.reply) << e.frame.constData();
    }
    EXPECT_NE(m.row(156), "12345678"); // a lost frame does nothing
    EXPECT_EQ(m.row(157), "12345678");
}

TEST(FaultPlan, EachKindAltersTheAnswerAsNamed)
{
    auto apply = [](const char* rule, const QByteArray& command) {
        SupplyModel m(Unit(40));
        m.faults().add(QString::fromLatin1(rule));
        return m.receive(command + "00\r").value(0);
    };
    const std::pair<const char*, QByteArray> cases[] = {
        {"GMAX:silence", ""},
        {"GMAX:truncate=4", "4005"},
        {"GMAX:dropchar", "400500OK"},
        {"GMAX:dropchar=1", "005000OK"},
        {"GMAX:nondigits", "eaafaaaOK"},
        {"GMAX:garbage", "#x@z!&Kq%"},
    };
    for (const auto& [rule, bytes] : cases)
        EXPECT_EQ(apply(rule, "GMAX").bytes, bytes) << rule;

    const Answer late = apply("*:late=0.5", "SESS");
    EXPECT_EQ(late.bytes, "OK\r");
    EXPECT_DOUBLE_EQ(late.extraDelay, 0.5);

    const Answer gone = apply("GETD:vanish=2", "GETD");
    EXPECT_TRUE(gone.vanish);
    EXPECT_DOUBLE_EQ(gone.restoreAfter, 2);
    EXPECT_TRUE(gone.bytes.isEmpty());
}

// Line noise mixes every way a reply can go wrong, each visible to a strict reader, and the
// same seed gives the same noise.
TEST(FaultPlan, NoiseMixesVisibleFaultsRepeatablyAndExpandsFromAPlan)
{
    const auto run = [](quint32 seed) {
        SupplyModel m(Unit(40, seed));
        EXPECT_TRUE(m.faults().add(QStringLiteral("GETD:noise")));
        EXPECT_TRUE(m.faults().add(QStringLiteral("GEEP0:noise")));
        QStringList seen;
        for (int i = 0; i < 200; ++i) {
            const QList<Answer> a = m.receive(i % 2 ? "GETD00\r" : "GEEP00060\r");
            seen << QString::fromLatin1(a[0].bytes) + (a[0].extraDelay > 0 ? "|late" : "");
        }
        return seen;
    };
    const QStringList a = run(3);
    EXPECT_EQ(a, run(3));
    EXPECT_NE(a, run(4));
    SupplyModel clean(Unit(40, 3));
    const QString display = QString::fromLatin1(Ask(clean, "GETD", "")), row = clean.row(60);
    QSet<QString> kinds;
    for (int i = 0; i < a.size(); ++i) {
        const QString& r = a[i];
        const QString good = i % 2 ? display : row;
        EXPECT_NE(r, good) << i;
        if (r.endsWith("|late"))
            kinds << "late";
        else if (r.isEmpty())
            kinds << "missing";
        else if (r.size() == good.size() - 1 && good.startsWith(r))
            kinds << "cut";
        else if (r.size() < good.size())
            kinds << "dropped";
        else if (r.size() > good.size())
            kinds << "extra";
        else if (r.contains(QRegularExpression("[#%&!*~^$@|]")))
            kinds << "foreign";
        else
            kinds << "flipped";
    }
    EXPECT_EQ(kinds.size(), 7) << QStringList(kinds.begin(), kinds.end()).join(' ').toStdString();

    EXPECT_EQ(FaultPlan::NoiseRules("meter-noise:p=0.05"), QStringList{"READ?:noise:p=0.05"});
    EXPECT_EQ(FaultPlan::NoiseRules("noise:p=0.02")->size(), 7);
    for (const char* bad : {"noise", "noise:p=2", "hum:p=0.1", "noise:nth=3"})
        EXPECT_FALSE(FaultPlan::NoiseRules(bad)) << bad;
}
