#include "eeprom/Restore.h"
#include "cal/Backup.h"
#include "tests/support/EditorBench.h"
#include "tests/support/QtPrinters.h"

#include <QDateTime>
#include <QFile>

#include <gtest/gtest.h>

using namespace psucal;
using psucal::test::EditorBench;

namespace {

// The unit's as-found backup, written the way the calibration writes it.
QString TakeBackup(EditorBench& b)
{
    QString error;
    const QString path = Backup::Write(b.dir.path(), b.model.eeprom().serial(), QString::fromLatin1(b.model.image()),
                                       QDateTime(QDate(2024, 5, 17), QTime(14, 3, 59)), &error);
    EXPECT_FALSE(path.isEmpty()) << error.toStdString();
    return path;
}

QString Edited(const QString& path, const QString& from, const QString& to)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QString text = QString::fromLatin1(f.readAll()).replace(from, to);
    f.close();
    static int n = 0;
    const QString out = QStringLiteral("%1.edited%2").arg(path).arg(++n);
    QFile o(out);
    o.open(QIODevice::WriteOnly);
    o.write(text.toLatin1());
    return out;
}

} // namespace

TEST(Restore, PutsTheBackupBackOnEveryWrittenRowAndLeavesEightToFiftySeven)
{
    EditorBench b;
    const QString path = TakeBackup(b);
    const QString row60 = b.model.row(60);
    b.model.setRow(60, "11111111"); // as a calibration would
    const QString row150 = b.model.row(150);
    b.model.setRow(150, "41424344");
    b.model.setRow(20, "22222222"); // never written by the editor
    const Restore::Outcome out = Restore(b.editor).run(path, false);
    EXPECT_TRUE(out.restored) << out.summary.toStdString();
    EXPECT_EQ(out.exitStatus(), 0);
    EXPECT_EQ(b.model.row(60), row60);
    EXPECT_EQ(b.model.row(150), row150);
    EXPECT_EQ(b.model.row(20), "22222222");
    for (const QString& f : b.framesSince(0, "SEEP")) {
        const int row = f.mid(6, 3).toInt();
        EXPECT_TRUE(row < 8 || row > 57) << f.toStdString();
    }
}

TEST(Restore, AnIncompleteOrMalformedFileSendsNothingAtAll)
{
    EditorBench b;
    const QString path = TakeBackup(b);
    const QString bad[] = {Edited(path, "\n100 ", "\n#100 "), Edited(path, "\n100 ", "\n099 "),
                           Edited(path, "\n100 ", "\n160 "), Edited(path, "\n100 ", "\n100  "),
                           Edited(path, "\n100 ", "\nrow ")};
    for (const QString& file : bad) {
        const Restore::Outcome out = Restore(b.editor).run(file, true);
        EXPECT_FALSE(out.restored);
        EXPECT_EQ(out.exitStatus(), 1);
        EXPECT_TRUE(out.summary.contains("Nothing was sent")) << out.summary.toStdString();
    }
    EXPECT_TRUE(b.model.frames().isEmpty());

    // A cell outside the nibble alphabet is named by its line.
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QString line100 = QString::fromLatin1(f.readAll()).section('\n', 101, 101);
    const Restore::Outcome out = Restore(b.editor).run(Edited(path, line100, "100 00 0G 00 00"), true);
    EXPECT_TRUE(out.summary.contains("line 102: cell 2 \"0G\"")) << out.summary.toStdString();
    EXPECT_TRUE(b.model.frames().isEmpty());
}

TEST(Restore, AnotherUnitsBackupNeedsForce)
{
    EditorBench b;
    const QString path = TakeBackup(b);
    b.model.eeprom().setSerial("OTHER-7");
    b.model.setRow(100, "11111111");
    Restore::Outcome out = Restore(b.editor).run(path, false);
    EXPECT_FALSE(out.restored);
    EXPECT_TRUE(out.summary.contains("SIM40001")) << out.summary.toStdString();
    EXPECT_TRUE(out.summary.contains("OTHER-7"));
    EXPECT_TRUE(b.framesSince(0, "SEEP").isEmpty());

    out = Restore(b.editor).run(path, true);
    EXPECT_TRUE(out.restored) << out.summary.toStdString();
    EXPECT_EQ(b.model.eeprom().serial(), "SIM40001");
}

TEST(Restore, AWriteThatIsNotConfirmedExitsOne)
{
    EditorBench b;
    const QString path = TakeBackup(b);
    ASSERT_TRUE(b.model.faults().add("SEEP100:silence"));
    const Restore::Outcome out = Restore(b.editor).run(path, false);
    EXPECT_FALSE(out.restored);
    EXPECT_TRUE(out.sent);
    EXPECT_EQ(out.exitStatus(), 1);
}
