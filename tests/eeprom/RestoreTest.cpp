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

// A copy of the backup with one piece of text replaced.
QString Edited(const QString& path, const QString& from, const QString& to)
{
    static int n = 0;
    QFile in(path);
    QFile out(QStringLiteral("%1.%2").arg(path).arg(++n));
    if (in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly))
        out.write(QString::fromLatin1(in.readAll()).replace(from, to).toLatin1());
    return out.fileName();
}

} // namespace

TEST(Restore, PutsTheBackupBackOnEveryWrittenRowAndLeavesEightToFiftySeven)
{
    EditorBench b;
    const QString path = TakeBackup(b);
    const QString row60 = b.model.row(60), row150 = b.model.row(150);
    b.model.setRow(60, "11111111"); // as a calibration would
    b.model.setRow(150, "41424344");
    b.model.setRow(20, "22222222"); // never written by the editor
    const Restore::Outcome out = Restore(b.editor).run(path, false);
    EXPECT_EQ(out.exitStatus(), 0) << out.summary.toStdString();
    EXPECT_EQ(QStringList({b.model.row(60), b.model.row(150), b.model.row(20)}),
              QStringList({row60, row150, "22222222"}));
    EXPECT_EQ(b.framesSince(0, "SEEP").size(), 160 - 50);
}

TEST(Restore, AnIncompleteOrMalformedFileSendsNothingAtAll)
{
    EditorBench b;
    const QString path = TakeBackup(b);
    const QString row100 = "\n100 " + b.model.row(100).replace(QRegularExpression("(..)(?!$)"), "\\1 ");
    const QString bad[] = {Edited(path, "\n100 ", "\n#100 "), Edited(path, "\n100 ", "\n099 "),
                           Edited(path, "\n100 ", "\n160 "), Edited(path, "\n100 ", "\nrow "),
                           Edited(path, row100, "\n100 00 0G 00 00")};
    for (const QString& file : bad) {
        const Restore::Outcome out = Restore(b.editor).run(file, true);
        EXPECT_EQ(out.exitStatus(), 1);
        EXPECT_TRUE(out.summary.contains("Nothing was sent")) << out.summary.toStdString();
    }
    EXPECT_TRUE(b.model.frames().isEmpty());
    EXPECT_TRUE(Restore(b.editor).run(bad[4], true).summary.contains("line 102: cell 2 \"0G\""));
}

TEST(Restore, AnotherUnitsBackupNeedsForceAndAnUnconfirmedWriteExitsOne)
{
    EditorBench b;
    const QString path = TakeBackup(b);
    b.model.eeprom().setSerial("OTHER-7");
    Restore::Outcome out = Restore(b.editor).run(path, false);
    EXPECT_EQ(out.exitStatus(), 1);
    EXPECT_TRUE(out.summary.contains("SIM40001") && out.summary.contains("OTHER-7")) << out.summary.toStdString();
    EXPECT_TRUE(b.framesSince(0, "SEEP").isEmpty());

    out = Restore(b.editor).run(path, true);
    EXPECT_EQ(out.exitStatus(), 0) << out.summary.toStdString();
    EXPECT_EQ(b.model.eeprom().serial(), "SIM40001");

    b.model.eeprom().setRow(100, "81818181");
    ASSERT_TRUE(b.model.faults().add("SEEP100:lost"));
    out = Restore(b.editor).run(path, false);
    EXPECT_TRUE(out.sent);
    EXPECT_EQ(out.exitStatus(), 1);
}
