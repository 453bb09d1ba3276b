#include "tests/support/EditorBench.h"
#include "tests/support/QtPrinters.h"

#include <QSqlQuery>

#include <gtest/gtest.h>

using namespace psucal;
using psucal::test::EditorBench;

namespace {

void SetCells(EditorBench& b, int id, const QStringList& c)
{
    const QString sql("UPDATE TB1 SET Cell1 = '%1', Cell2 = '%2', Cell3 = '%3', Cell4 = '%4' WHERE ID = %5");
    ASSERT_TRUE(QSqlQuery(b.db.connection()).exec(sql.arg(c[0], c[1], c[2], c[3]).arg(id)));
}

} // namespace

TEST(EepromEditor, ReadLoadsTheWholeImageAndStandsOnRowZero)
{
    EditorBench b;
    b.editor.setCurrentRecord(42);
    ASSERT_TRUE(b.editor.CmdRead_Click());
    for (int r : {0, 7, 58, 100, 159})
        EXPECT_EQ(b.tableRow(r), b.model.row(r)) << r;
    EXPECT_EQ(b.editor.currentRecord(), 0);
    EXPECT_EQ(b.editor.text1(0) + b.editor.text1(4), "0" + b.model.row(0).mid(6, 2));

    // Only a whole image with "OK" in place counts; anything less leaves the table alone.
    const QString image = QString::fromLatin1(b.model.image());
    QString garbled = image;
    garbled[9 * 70 + 3] = 'x';
    EXPECT_FALSE(b.editor.LoadEepromImage(image.left(1442)));
    EXPECT_FALSE(b.editor.LoadEepromImage(garbled));
    EXPECT_EQ(b.tableRow(70), b.model.row(70));
    EXPECT_TRUE(b.editor.LoadEepromImage(image.left(1443)));
}

TEST(EepromEditor, AFailedReadSendsNothingAndKeepsTheTable)
{
    for (const char* fault : {"GEEP:silence", "GEEP:garbage", "GEEP:truncate=1442"}) {
        SCOPED_TRACE(fault);
        EditorBench b;
        b.st.Retries = 0; // the editor's own three reads, each a single try
        SetCells(b, 100, {"12", "34", "56", "78"});
        ASSERT_TRUE(b.model.faults().add(fault));
        EXPECT_FALSE(b.editor.CmdRead_Click());
        EXPECT_EQ(b.framesSince(0), QStringList({"GEEP00", "GEEP00", "GEEP00"}));
        EXPECT_EQ(b.tableRow(100), "12345678");
        EXPECT_EQ(b.host.messages.size(), 1);
        EXPECT_FALSE(b.editor.readValid());
    }
}

TEST(EepromEditor, WriteSendsEveryRowButEightToFiftySevenAndReadsBack)
{
    EditorBench b;
    ASSERT_TRUE(b.editor.CmdRead_Click());
    SetCells(b, 7, {"5", "00", "00", "00"});
    SetCells(b, 100, {"12", "34", "56", "78"});
    SetCells(b, 20, {"99", "99", "99", "99"});
    const qsizetype from = b.model.frames().size();
    ASSERT_TRUE(b.editor.CmdWrite_Click());

    QStringList seep = b.framesSince(from, "SEEP");
    EXPECT_TRUE(seep.contains("SEEP0000705000000"));
    QStringList expected;
    for (int r = 0; r < 160; ++r)
        if (r < 8 || r > 57)
            expected << QString("SEEP00%1").arg(r, 3, 10, QChar('0'));
    EXPECT_EQ(seep.replaceInStrings(QRegularExpression("^(.{9}).*"), "\\1"), expected);
    EXPECT_EQ(b.model.row(100), "12345678");
    EXPECT_EQ(b.framesSince(from).last(), "GEEP00");
    // The table shows the supply again: row 20 was never sent and reads back as it was.
    EXPECT_EQ(b.tableRow(20), b.model.row(20));
    EXPECT_TRUE(b.host.messages.isEmpty()) << b.host.messages.join('|').toStdString();
}

TEST(EepromEditor, WriteAndClearNeedAReadFromTheUnitNowConnected)
{
    EditorBench b;
    EXPECT_FALSE(b.editor.CmdWrite_Click());
    EXPECT_FALSE(b.editor.CmdClear_Click());
    ASSERT_TRUE(b.editor.CmdRead_Click());
    b.editor.WithdrawRead(); // port change, REFRESH, Fulfill
    EXPECT_FALSE(b.editor.CmdWrite_Click());
    ASSERT_TRUE(b.editor.CmdRead_Click());
    b.st.SerialNo = "ANOTHER";
    EXPECT_FALSE(b.editor.CmdClear_Click());
    EXPECT_TRUE(b.framesSince(0, "SEEP").isEmpty());
    EXPECT_EQ(b.host.messages.size(), 4);
}

TEST(EepromEditor, BadCellsAndRowNumbersAreNamedAndNothingIsSent)
{
    EditorBench b;
    ASSERT_TRUE(b.editor.CmdRead_Click());
    SetCells(b, 70, {"00", "5G", "00", "00"});
    EXPECT_FALSE(b.editor.CmdWrite_Click());
    ASSERT_EQ(b.host.messages.size(), 1);
    EXPECT_TRUE(b.host.messages[0].contains("row 070 cell 2 \"5G\"")) << b.host.messages[0].toStdString();

    // Row number, first cell, and the frame data it gives (empty: refused with a message).
    const char* rows[][3] = {{"7", "5", "00705000000"},
                             {" 58 ", ":", "0580:000000"},
                             {"8", "00", ""},
                             {"57", "00", ""},
                             {"160", "00", ""},
                             {"7.5", "00", ""},
                             {"", "00", ""},
                             {"7", "123", ""},
                             {"7", "G", ""}};
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r[0]) + " / " + r[1]);
        b.host.messages.clear();
        const QStringList boxes = {r[0], r[1], "00", "00", "00"};
        for (int i = 0; i < 5; ++i)
            b.editor.setText1(i, boxes[i]);
        const qsizetype from = b.model.frames().size();
        EXPECT_EQ(b.editor.CmdWrite_a_R_Click(), *r[2] != 0);
        const QStringList seep = b.framesSince(from, "SEEP");
        EXPECT_EQ(seep, *r[2] ? QStringList{QString("SEEP00") + r[2]} : QStringList());
        EXPECT_EQ(b.host.messages.size(), *r[2] ? 0 : 1);
        if (*r[2]) {
            EXPECT_EQ(b.editor.currentRecord(), QString(r[0]).trimmed().toInt());
        }
    }
    b.editor.setText1(0, "8");
    b.editor.CmdWrite_a_R_Click();
    EXPECT_EQ(b.host.messages.last(), "Address ID 8~57 row can't write !");
}

TEST(EepromEditor, RowsThatNeverAnsweredOkAreListed)
{
    EditorBench b;
    b.st.Retries = 0; // no row read back to settle a write
    ASSERT_TRUE(b.editor.CmdRead_Click());
    ASSERT_TRUE(b.model.faults().add("SEEP060:garbage"));
    ASSERT_TRUE(b.model.faults().add("SEEP061:garbage"));
    EXPECT_FALSE(b.editor.CmdWrite_Click());
    EXPECT_EQ(b.editor.lastWrite().unconfirmed, QStringList({"060", "061"}));
    EXPECT_EQ(b.framesSince(0, "SEEP00060").size(), 4);
    ASSERT_EQ(b.host.messages.size(), 1);
    EXPECT_TRUE(b.host.messages[0].endsWith("060, 061"));

    // Silence ends the pass without a read-back; a single row that fails says so.
    b.host.messages.clear();
    ASSERT_TRUE(b.model.faults().add("SEEP100:silence"));
    EXPECT_FALSE(b.editor.CmdWrite_Click());
    EXPECT_EQ(b.editor.lastWrite().silentRow, 100);
    EXPECT_FALSE(b.editor.lastWrite().readBack);
    EXPECT_TRUE(b.host.messages.last().startsWith("Connect failed\n"));
    b.editor.setText1(0, "100");
    EXPECT_FALSE(b.editor.CmdWrite_a_R_Click());
    EXPECT_TRUE(b.host.messages.last().startsWith("Row 100 was not written")) << b.host.messages.last().toStdString();
}

TEST(EepromEditor, ClearZeroesCalibrationRowsFromTheCurrentRecordOn)
{
    EditorBench b;
    ASSERT_TRUE(b.editor.CmdRead_Click());
    b.model.setRow(40, "11111111");
    b.model.setRow(152, "22222222");
    ASSERT_TRUE(b.editor.CmdRead_Click());
    const QString row99 = b.model.row(99);
    b.editor.setCurrentRecord(100);
    ASSERT_TRUE(b.editor.CmdClear_Click());
    const QStringList after = {b.model.row(40), b.model.row(99), b.model.row(100), b.model.row(149), b.model.row(152)};
    EXPECT_EQ(after, QStringList({"11111111", row99, "00000000", "00000000", "22222222"}));
}

TEST(EepromEditor, NothingIsWrittenWithoutTheBackupAndNoSecondOperationStartsInside)
{
    EditorBench b;
    ASSERT_TRUE(b.editor.CmdRead_Click());
    int asked = 0;
    b.editor.setBackupGuard([&] {
        ++asked;
        EXPECT_TRUE(b.editor.busy());
        EXPECT_FALSE(b.editor.CmdRead_Click());
        EXPECT_TRUE(b.framesSince(0, "SEEP").isEmpty());
        return false;
    });
    b.editor.setText1(0, "100");
    EXPECT_FALSE(b.editor.CmdWrite_Click());
    EXPECT_FALSE(b.editor.CmdWrite_a_R_Click());
    EXPECT_FALSE(b.editor.CmdClear_Click());
    EXPECT_EQ(asked, 3);
    EXPECT_TRUE(b.framesSince(0, "SEEP").isEmpty());
    EXPECT_FALSE(b.editor.busy());
}
