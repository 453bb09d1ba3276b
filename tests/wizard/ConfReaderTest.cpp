#include "wizard/ConfReader.h"

#include "core/Numbers.h"
#include "tests/support/QtPrinters.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <sys/stat.h>

using psucal::BenchState;
using psucal::ConfReader;
using psucal::ConfResult;

namespace {

class ConfReaderTest : public ::testing::Test {
protected:
    QString path() const { return dir_.filePath(ConfReader::kFileName); }

    void write(const QByteArray& bytes)
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }

    ConfResult read(const QByteArray& bytes)
    {
        write(bytes);
        return ConfReader::read(dir_.path());
    }

    static void expectDefaults(const ConfResult& r)
    {
        BenchState s;
        r.apply(s);
        EXPECT_EQ(std::tie(s.RigorUpV, s.RigorDnV, s.RigorOffsetV, s.RigorUpC, s.RigorDnC, s.RigorOffsetC),
                  std::make_tuple(0.08, 0.02, 0.02, 0.008, 0.002, 0.002));
    }

    QTemporaryDir dir_;
};

TEST_F(ConfReaderTest, MissingOrEmptyFileKeepsTheDefaultsSilently)
{
    const ConfResult missing = ConfReader::read(dir_.path());
    EXPECT_TRUE(!missing.found && missing.warning.isEmpty());
    expectDefaults(missing);
    const ConfResult empty = read("");
    EXPECT_TRUE(empty.found && empty.warning.isEmpty());
    expectDefaults(empty);
}

TEST_F(ConfReaderTest, KeyIsTwelveExactCharactersAndTheThirteenthIsNotExamined)
{
    const auto up = [this](const char* text) { return read(text).RigorUpV; };
    EXPECT_DOUBLE_EQ(up("RigorUpLimit=5"), 0.05);
    EXPECT_DOUBLE_EQ(up("rigorUpLimit 5"), 0.08);
    EXPECT_DOUBLE_EQ(up("RigorUpLimi 5"), 0.08);
    EXPECT_DOUBLE_EQ(up("   RigorUpLimit 5"), 0.05); // leading blanks are skipped

    EXPECT_DOUBLE_EQ(read("RigorOffset=3").RigorOffsetV, 0.02);  // one blank short: not the key
    EXPECT_DOUBLE_EQ(read("RigorOffset  3").RigorOffsetV, 0.03); // key, separator, value
    EXPECT_DOUBLE_EQ(read("RigorDnLimit  4").RigorDnV, 0.04);    // leading blanks of the value too
    // The separator is one character, however many bytes it takes.
    EXPECT_DOUBLE_EQ(read("RigorDnLimit\xc3\xa4"
                          "3")
                         .RigorDnV,
                     0.03);
}

TEST_F(ConfReaderTest, ItemsAreSplitAtCommasAndEveryKindOfLineEnd)
{
    const ConfResult r = read("RigorDnLimit 3, RigorUpLimit 9\r\nRigorOffset  4\rEEPVisible  =True\n");
    EXPECT_DOUBLE_EQ(r.RigorDnV, 0.03);
    EXPECT_DOUBLE_EQ(r.RigorUpV, 0.09);
    EXPECT_DOUBLE_EQ(r.RigorOffsetV, 0.04);
    EXPECT_DOUBLE_EQ(r.RigorOffsetC, 0.004);
    EXPECT_TRUE(r.EEPVisible);
    EXPECT_FALSE(read("EEPVisible  =true").EEPVisible);
    EXPECT_FALSE(read("EEPVisible  =True ").EEPVisible);

    // Quotes hold a comma inside one item; what trails the closing quote is dropped.
    const ConfResult q = read("\"x,RigorUpLimit 6\",\"RigorOffset  1\"junk");
    EXPECT_DOUBLE_EQ(q.RigorUpV, 0.08);
    EXPECT_DOUBLE_EQ(q.RigorOffsetV, 0.01);
    EXPECT_TRUE(q.warning.isEmpty()) << q.warning.toStdString();
}

TEST_F(ConfReaderTest, ValuesAreRoundedHalfAwayFromZeroAndTheLaterOneCounts)
{
    BenchState s;
    read("RigorUpLimit 12.345\nRigorDnLimit 0.5\nRigorOffset  -2.5\nRigorUpLimit 12.5\n").apply(s);
    EXPECT_DOUBLE_EQ(s.RigorUpV, 0.13);
    EXPECT_DOUBLE_EQ(s.RigorUpC, 0.013);
    EXPECT_DOUBLE_EQ(s.RigorDnV, 0.01);
    EXPECT_DOUBLE_EQ(s.RigorDnC, 0.001);
    EXPECT_DOUBLE_EQ(s.RigorOffsetV, -0.03);
    EXPECT_DOUBLE_EQ(s.RigorOffsetC, -0.003);
}

// A limit the operator got wrong must not quietly become 0 or an impossible window.
TEST_F(ConfReaderTest, BadValueOrInvertedWindowWarnsWithTheLineAndKeepsTheDefaults)
{
    const ConfResult bad = read("RigorUpLimit 9\n\nRigorDnLimit 0.03V\r\nRigorOffset  \nRigorUpLimit5\n");
    EXPECT_DOUBLE_EQ(bad.RigorDnV, 0.02);
    EXPECT_DOUBLE_EQ(bad.RigorDnC, 0.002);
    EXPECT_DOUBLE_EQ(bad.RigorOffsetV, 0.02);
    EXPECT_DOUBLE_EQ(bad.RigorUpV, 0.08); // the later, unreadable item wins
    EXPECT_EQ(bad.warning.split('\n'),
              (QStringList{"Calibration.conf line 3: RigorDnLimit '0.03V' is not a number; the default 2 is used.",
                           "Calibration.conf line 4: RigorOffset '' is not a number; the default 2 is used.",
                           "Calibration.conf line 5: RigorUpLimit '' is not a number; the default 8 is used."}));

    const ConfResult inverted = read("RigorUpLimit 5\nRigorOffset  2\nRigorDnLimit 6.5\n");
    expectDefaults(inverted);
    EXPECT_EQ(inverted.warning, "Calibration.conf line 3: RigorDnLimit 6.5 is above RigorUpLimit 5; the default "
                                "window 2..8 is used.");
    EXPECT_TRUE(read("RigorUpLimit 4\nRigorDnLimit 4\n").warning.isEmpty());
    EXPECT_FALSE(read("RigorDnLimit 9\n").warning.isEmpty()); // above the default upper limit
}

// A line's records server; an address the driver would misread keeps the records local.
TEST_F(ConfReaderTest, DatabaseKeyTakesAServerAddressOrWarnsAndKeepsTheLocalFile)
{
    EXPECT_EQ(read("Database     postgresql://qa@db.line:5433/calib \n").Database,
              "postgresql://qa@db.line:5433/calib");
    EXPECT_TRUE(read("Database    \n").Database.isEmpty());
    const ConfResult bad =
        read("RigorUpLimit 9\nDatabase     postgresql://qa@db.line:5433/calib\nDatabase    =db.line\n");
    EXPECT_TRUE(bad.Database.isEmpty());
    EXPECT_EQ(bad.warning, "Calibration.conf line 3: Database 'db.line' is not a server address "
                           "postgresql://user@host:port/dbname: it does not start with postgresql://; the records "
                           "stay in Calibration.dt.");
}

TEST_F(ConfReaderTest, AnItemCutByTheCapIsNotApplied)
{
    const QByteArray text = "RigorUpLimit 5\nRigorDnLimit 1";
    write(text);
    const ConfResult cut = ConfReader::read(dir_.path(), text.size() - 1);
    EXPECT_DOUBLE_EQ(cut.RigorUpV, 0.05);
    EXPECT_DOUBLE_EQ(cut.RigorDnV, 0.02);
    EXPECT_TRUE(cut.warning.contains("only its first")) << cut.warning.toStdString();

    const ConfResult exact = ConfReader::read(dir_.path(), text.size());
    EXPECT_DOUBLE_EQ(exact.RigorDnV, 0.01);
    EXPECT_TRUE(exact.warning.isEmpty());
}

// A FIFO of that name would block start-up until someone wrote to it.
TEST_F(ConfReaderTest, FifoOfThatNameGivesDefaultsAndAWarningWithoutBlocking)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    const ConfResult r = ConfReader::read(dir_.path());
    EXPECT_TRUE(!r.readable && r.warning.contains(ConfReader::kFileName)) << r.warning.toStdString();
    expectDefaults(r);
}

// The host's locale must not turn "12.5" into 125 or "0.13" into "0,13".
TEST_F(ConfReaderTest, GermanLocaleKeepsThePointAsDecimalSeparator)
{
    const std::string oldC = std::setlocale(LC_ALL, nullptr);
    const QLocale oldQ;
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ASSERT_EQ(QLocale().decimalPoint(), ",");

    const ConfResult r = read("RigorUpLimit 12.5\n");
    const QString up = psucal::num::Fixed(r.RigorUpV, 2);

    std::setlocale(LC_ALL, oldC.c_str());
    QLocale::setDefault(oldQ);

    EXPECT_DOUBLE_EQ(r.RigorUpV, 0.13);
    EXPECT_EQ(up, "0.13");
}

} // namespace

// The measurement settings: a word or number the bench cannot use warns and keeps the default.
// A reference's due date that cannot be read is taken as not given, with a warning.
TEST_F(ConfReaderTest, DecisionRuleShuntReferenceAndHumidityKeys)
{
    const ConfResult good = read("DecisionRule guard\nShuntOhm     0.01\nShuntTol     0.05\nMeterId      34401A-7\n"
                                 "MeterCalDue  2027-01-31\nShuntId      SH 1\nHumidity     45.5\nRetries      0\n");
    BenchState s;
    good.apply(s);
    EXPECT_TRUE(s.GuardRule);
    EXPECT_EQ(std::tie(s.ShuntOhm, s.ShuntTol, s.MeterId, s.MeterCalDue, s.ShuntId, s.Humidity),
              std::make_tuple(0.01, 0.05, QString("34401A-7"), QDate(2027, 1, 31), QString("SH 1"), QString("46")));
    EXPECT_EQ(s.Retries, 0);
    EXPECT_TRUE(good.warning.isEmpty());

    const ConfResult bad = read("DecisionRule guarded\nShuntOhm     0\nShuntTol     -1\nMeterCalDue  2027-02-30\n"
                                "ShuntCalDue  31.01.2027\nHumidity     101\nRetries      -1\n");
    EXPECT_FALSE(bad.GuardRule || bad.MeterCalDue.isValid() || bad.ShuntCalDue.isValid());
    EXPECT_DOUBLE_EQ(bad.ShuntOhm, 0.001);
    EXPECT_DOUBLE_EQ(bad.ShuntTol, 0.1);
    EXPECT_TRUE(bad.Humidity.isEmpty());
    EXPECT_EQ(bad.Retries, 2);
    EXPECT_EQ(
        bad.warning.split('\n'),
        (QStringList{"Calibration.conf line 1: DecisionRule 'guarded' is neither simple nor guard; simple is used.",
                     "Calibration.conf line 2: ShuntOhm '0' is not a positive number; the default 0.001 is used.",
                     "Calibration.conf line 3: ShuntTol '-1' is not a positive number; the default 0.1 is used.",
                     "Calibration.conf line 4: MeterCalDue '2027-02-30' is not a date written yyyy-MM-dd; it is "
                     "taken as not given.",
                     "Calibration.conf line 5: ShuntCalDue '31.01.2027' is not a date written yyyy-MM-dd; it is "
                     "taken as not given.",
                     "Calibration.conf line 6: Humidity '101' is not a percentage from 0 to 100; it is taken as "
                     "not given.",
                     "Calibration.conf line 7: Retries '-1' is not a whole number from 0 to 9; the default 2 is used."}));
}
