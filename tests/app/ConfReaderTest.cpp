#include "app/ConfReader.h"

#include "core/Numbers.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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
        EXPECT_DOUBLE_EQ(r.RigorUpV, 0.08);
        EXPECT_DOUBLE_EQ(r.RigorDnV, 0.02);
        EXPECT_DOUBLE_EQ(r.RigorOffsetV, 0.02);
        EXPECT_DOUBLE_EQ(r.RigorUpC, 0.008);
        EXPECT_DOUBLE_EQ(r.RigorDnC, 0.002);
        EXPECT_DOUBLE_EQ(r.RigorOffsetC, 0.002);
        EXPECT_FALSE(r.EEPVisible);
    }

    QTemporaryDir dir_;
};

TEST_F(ConfReaderTest, MissingOrEmptyFileKeepsTheDefaultsSilently)
{
    const ConfResult missing = ConfReader::read(dir_.path());
    EXPECT_FALSE(missing.found);
    EXPECT_TRUE(missing.readable);
    EXPECT_TRUE(missing.warning.isEmpty());
    expectDefaults(missing);

    const ConfResult empty = read("");
    EXPECT_TRUE(empty.found && empty.readable && empty.warning.isEmpty());
    expectDefaults(empty);
}

TEST_F(ConfReaderTest, KeyIsTwelveExactCharactersAndTheThirteenthIsNotExamined)
{
    const auto up = [this](const char* text) { return read(text).RigorUpV; };
    EXPECT_DOUBLE_EQ(up("RigorUpLimit 5"), 0.05);
    EXPECT_DOUBLE_EQ(up("RigorUpLimit=5"), 0.05);
    EXPECT_DOUBLE_EQ(up("RigorUpLimit:5"), 0.05);
    EXPECT_DOUBLE_EQ(up("RigorUpLimit5"), 0.0); // the value would start at character 14
    EXPECT_DOUBLE_EQ(up("RigorUpLimit"), 0.0);
    EXPECT_DOUBLE_EQ(up("rigorUpLimit 5"), 0.08);
    EXPECT_DOUBLE_EQ(up("RigorUpLimi 5"), 0.08);
    EXPECT_DOUBLE_EQ(up("   RigorUpLimit 5"), 0.05); // leading blanks are skipped
    EXPECT_DOUBLE_EQ(read("RigorUpLimit 5").RigorUpC, 0.005);

    EXPECT_DOUBLE_EQ(read("RigorOffset=3").RigorOffsetV, 0.02);  // one blank short: not the key
    EXPECT_DOUBLE_EQ(read("RigorOffset  3").RigorOffsetV, 0.03); // key, separator, value
    EXPECT_DOUBLE_EQ(read("RigorDnLimit  4").RigorDnV, 0.04);    // leading blanks of the value too
}

TEST_F(ConfReaderTest, ItemsAreSplitAtCommasAndEveryKindOfLineEnd)
{
    const ConfResult r = read("RigorDnLimit 3, RigorUpLimit 9\r\nRigorOffset  4\rEEPVisible  =True\n");
    EXPECT_DOUBLE_EQ(r.RigorDnV, 0.03);
    EXPECT_DOUBLE_EQ(r.RigorUpV, 0.09);
    EXPECT_DOUBLE_EQ(r.RigorOffsetV, 0.04);
    EXPECT_DOUBLE_EQ(r.RigorOffsetC, 0.004);
    EXPECT_TRUE(r.EEPVisible);

    // Quotes hold a comma inside one item; what trails the closing quote is dropped.
    const ConfResult q = read("\"RigorUpLimit 6,RigorDnLimit 7\"junk,\"RigorOffset  1\"");
    EXPECT_DOUBLE_EQ(q.RigorUpV, 0.06);
    EXPECT_DOUBLE_EQ(q.RigorDnV, 0.02);
    EXPECT_DOUBLE_EQ(q.RigorOffsetV, 0.01);
}

TEST_F(ConfReaderTest, ValuesAreReadLenientlyAndRoundedHalfAwayFromZero)
{
    const ConfResult r = read("RigorUpLimit 12.345\nRigorDnLimit 0.5\nRigorOffset  -2.5mV\n");
    EXPECT_DOUBLE_EQ(r.RigorUpV, 0.12);
    EXPECT_DOUBLE_EQ(r.RigorUpC, 0.012);
    EXPECT_DOUBLE_EQ(r.RigorDnV, 0.01);
    EXPECT_DOUBLE_EQ(r.RigorDnC, 0.001);
    EXPECT_DOUBLE_EQ(r.RigorOffsetV, -0.03);
    EXPECT_DOUBLE_EQ(r.RigorOffsetC, -0.003);

    const ConfResult junk = read("RigorUpLimit abc\nRigorDnLimit 1,5\n");
    EXPECT_DOUBLE_EQ(junk.RigorUpV, 0.0);
    EXPECT_DOUBLE_EQ(junk.RigorUpC, 0.0);
    EXPECT_DOUBLE_EQ(junk.RigorDnV, 0.01); // the comma ends the item: "1" is the value

    EXPECT_DOUBLE_EQ(read("RigorUpLimit 5\nRigorUpLimit 7\n").RigorUpV, 0.07);
}

TEST_F(ConfReaderTest, EepVisibleOnlyForExactlyTrue)
{
    EXPECT_TRUE(read("EEPVisible  =True").EEPVisible);
    EXPECT_TRUE(read("EEPVisible   True").EEPVisible);
    EXPECT_FALSE(read("EEPVisible  =true").EEPVisible);
    EXPECT_FALSE(read("EEPVisible  =True ").EEPVisible);
    EXPECT_FALSE(read("EEPVisible  =1").EEPVisible);
    EXPECT_FALSE(read("EEPVisible =True").EEPVisible);
    EXPECT_FALSE(read("EEPVisible  =True\nEEPVisible  =False").EEPVisible);
}

TEST_F(ConfReaderTest, ApplySetsTheSixLimits)
{
    BenchState s;
    read("RigorUpLimit 10\nRigorDnLimit 1\nRigorOffset  0\n").apply(s);
    EXPECT_DOUBLE_EQ(s.RigorUpV, 0.10);
    EXPECT_DOUBLE_EQ(s.RigorDnV, 0.01);
    EXPECT_DOUBLE_EQ(s.RigorOffsetV, 0.0);
    EXPECT_DOUBLE_EQ(s.RigorUpC, 0.010);
    EXPECT_DOUBLE_EQ(s.RigorDnC, 0.001);
    EXPECT_DOUBLE_EQ(s.RigorOffsetC, 0.0);
}

TEST_F(ConfReaderTest, BinaryGarbageAroundAGoodLineIsHarmless)
{
    QByteArray bytes("\xEF\xBB\xBF"
                     "RigorUpLimit 5\n",
                     18); // a byte-order mark must not hide the first key
    bytes += QByteArray("\0\0\xff\xfe\xc3\n", 6);
    bytes += "RigorDn\xffimit 9\nRigorDnLimit\xc3\xa4"
             "3\n";
    bytes += QByteArray(5000, 'x') + "\n"; // an over-long item
    const ConfResult r = read(bytes);
    EXPECT_TRUE(r.readable && r.warning.isEmpty());
    EXPECT_DOUBLE_EQ(r.RigorUpV, 0.05);
    EXPECT_DOUBLE_EQ(r.RigorDnV, 0.03); // a multi-byte character is still one separator character
}

TEST_F(ConfReaderTest, HugeFileIsReadOnlyUpToTheCap)
{
    write("RigorUpLimit 5\n");
    QFile f(path());
    ASSERT_TRUE(f.resize(100LL * 1024 * 1024)); // sparse: 100 MB of NUL bytes without the disk cost
    QElapsedTimer t;
    t.start();
    const ConfResult r = ConfReader::read(dir_.path());
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_TRUE(r.readable);
    EXPECT_DOUBLE_EQ(r.RigorUpV, 0.05);
    EXPECT_TRUE(r.warning.contains("4 MB")) << r.warning.toStdString();
}

TEST_F(ConfReaderTest, AnItemCutByTheCapIsNotApplied)
{
    const QByteArray text = "RigorUpLimit 5\nRigorDnLimit 12";
    write(text);
    const ConfResult cut = ConfReader::read(dir_.path(), text.size() - 1);
    EXPECT_DOUBLE_EQ(cut.RigorUpV, 0.05);
    EXPECT_DOUBLE_EQ(cut.RigorDnV, 0.02);
    EXPECT_FALSE(cut.warning.isEmpty());

    const ConfResult exact = ConfReader::read(dir_.path(), text.size());
    EXPECT_DOUBLE_EQ(exact.RigorDnV, 0.12);
    EXPECT_TRUE(exact.warning.isEmpty());
}

void expectUnreadable(const ConfResult& r)
{
    EXPECT_TRUE(r.found);
    EXPECT_FALSE(r.readable);
    EXPECT_TRUE(r.warning.contains(ConfReader::kFileName)) << r.warning.toStdString();
    EXPECT_DOUBLE_EQ(r.RigorUpV, 0.08);
    EXPECT_DOUBLE_EQ(r.RigorUpC, 0.008);
}

TEST_F(ConfReaderTest, FolderOrFifoOfThatNameGivesDefaultsAndAWarning)
{
    ASSERT_TRUE(QDir(dir_.path()).mkdir(ConfReader::kFileName));
    expectUnreadable(ConfReader::read(dir_.path()));
    ASSERT_TRUE(QDir(dir_.path()).rmdir(ConfReader::kFileName));

    // A FIFO would block an ordinary open until someone writes to it.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    expectUnreadable(ConfReader::read(dir_.path()));
}

TEST_F(ConfReaderTest, FileWithoutReadPermissionGivesDefaultsAndAWarning)
{
    write("RigorUpLimit 5\n");
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0), 0);
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads files regardless of their permissions";
    expectUnreadable(ConfReader::read(dir_.path()));
}

// The host's locale must not turn "12.5" into 125 or "0.13" into "0,13".
TEST_F(ConfReaderTest, GermanLocaleKeepsThePointAsDecimalSeparator)
{
    const std::string oldC = std::setlocale(LC_ALL, nullptr);
    const QLocale oldQ;
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ASSERT_EQ(QLocale().decimalPoint(), ",");

    const ConfResult r = read("RigorUpLimit 12.5\nRigorDnLimit 1,5\n");
    const QString up = psucal::num::Fixed(r.RigorUpV, 2);
    const QString upC = psucal::num::Fixed(r.RigorUpC, 3);
    const QString dn = psucal::num::Fixed(r.RigorDnV, 2);

    std::setlocale(LC_ALL, oldC.c_str());
    QLocale::setDefault(oldQ);

    EXPECT_DOUBLE_EQ(r.RigorUpV, 0.13);
    EXPECT_EQ(up, "0.13");
    EXPECT_EQ(upC, "0.013");
    EXPECT_EQ(dn, "0.01"); // "1,5" is the value 1 followed by another item, not one and a half
}

} // namespace
