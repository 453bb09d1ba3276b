#include "tests/cal/CalFixture.h"

#include "cal/Backup.h"

#include <QDir>
#include <QFile>

namespace psucal::test {
namespace {

using D = ScriptedSupply;

class BackupTest : public CalFixture {
protected:
    BackupTest()
    {
        st.BackupWritten = false;
        st.SerialNo = QStringLiteral("SN 42/7");
        supply.rows[58] = QStringLiteral("80808381");
        supply.rows[80] = QStringLiteral("00808080");
        link.shadow().forget(); // the image comes with the backup
        cal.backup().setNow([] { return QDateTime(QDate(2024, 5, 17), QTime(14, 3, 59)); });
    }

    // One point that needs one correction, so exactly one row write.
    void adjustOnce()
    {
        supply.displays = {D::Display(9.95, 0), D::Display(10.05, 0)};
        cal.AdjustPoint(QStringLiteral("V10.0"));
    }

    QString backupDir() const { return dir.filePath(QStringLiteral("backups")); }
    QStringList backups() const { return QDir(backupDir()).entryList(QDir::Files, QDir::Name); }
    QString read(const QString& name) const
    {
        QFile f(QDir(backupDir()).filePath(name));
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
    }
};

TEST_F(BackupTest, ImageIsSavedBeforeTheFirstRowWrite)
{
    st.AsFoundImage = supply.image();
    adjustOnce();

    ASSERT_EQ(backups(), QStringList{"SN_42_7_20240517-140359.txt"});
    const QStringList lines = read(backups().first()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 161);
    EXPECT_EQ(lines[0], QStringLiteral("# psucal as-found EEPROM image, serial SN 42/7, read 2024-05-17 14:03:59"));
    EXPECT_EQ(lines[1], QStringLiteral("000 80 80 80 80"));
    EXPECT_EQ(lines[59], QStringLiteral("058 80 80 83 81"));
    EXPECT_EQ(lines[81], QStringLiteral("080 00 80 80 80")); // as found, not as written
    EXPECT_EQ(lines[160], QStringLiteral("159 80 80 80 80"));
    EXPECT_TRUE(st.BackupWritten);
    EXPECT_FALSE(supply.sent().contains(QStringLiteral("GEEP00"))); // the kept image was used
    EXPECT_TRUE(host.messages.isEmpty());

    adjustOnce(); // later writes leave the backup alone
    EXPECT_EQ(backups().size(), 1);
}

TEST_F(BackupTest, FileNamesAreSafeAndNeverReused)
{
    const QString image = supply.image();
    const QDateTime when(QDate(2024, 1, 2), QTime(3, 4, 5));
    QString error;
    const QString first = Backup::Write(dir.path(), QStringLiteral("../x y*"), image, when, &error);
    const QString second = Backup::Write(dir.path(), QStringLiteral("../x y*"), image, when, &error);
    const QString third = Backup::Write(dir.path(), QString(), image, when, &error);
    EXPECT_TRUE(first.endsWith(QLatin1String("/backups/___x_y__20240102-030405.txt"))) << first.toStdString();
    EXPECT_TRUE(second.endsWith(QLatin1String("/backups/___x_y__20240102-030405-2.txt"))) << second.toStdString();
    EXPECT_TRUE(third.endsWith(QLatin1String("/backups/unknown_20240102-030405.txt"))) << third.toStdString();
    EXPECT_EQ(backups().size(), 3);
    EXPECT_EQ(QDir(backupDir()).entryList(QDir::Files | QDir::Hidden).size(), 3) << "a temporary file is left";
}

TEST_F(BackupTest, WithoutABackupNothingIsWrittenUnlessRetryGetsOne)
{
    st.Retries = 0; // each step's read a single try
    int imageReads = 0;
    supply.answer = [&](const QString& c, const QString& data) -> std::optional<QString> {
        if (c == QLatin1String("GEEP") && data.isEmpty() && ++imageReads < 3)
            return QStringLiteral("80808080 OK"); // cut short
        return std::nullopt;
    };
    adjustOnce(); // Cancel at once
    EXPECT_EQ(host.questions.size(), 1);
    EXPECT_TRUE(host.questions[0].contains(QLatin1String("did not send its EEPROM image")));
    EXPECT_TRUE(supply.sent(QStringLiteral("SEEP")).isEmpty());
    EXPECT_TRUE(st.AbortFlag);
    EXPECT_EQ(st.FailText, QStringLiteral("Backup failed: the supply did not send its EEPROM image"));
    EXPECT_TRUE(st.Unconverged.isEmpty());

    // The next step asks again; the second Retry brings the image, and only then is a row written.
    st.AbortFlag = false;
    host.retries = 1;
    adjustOnce();
    EXPECT_EQ(host.questions.size(), 2);
    EXPECT_EQ(imageReads, 3);
    EXPECT_EQ(supply.sent(QStringLiteral("SEEP")).size(), 1);
    EXPECT_EQ(backups().size(), 1);
    EXPECT_FALSE(st.AbortFlag);
}

TEST_F(BackupTest, UnwritableFolderFailsTheStepAndNoBackupOverridesIt)
{
    QFile blocker(backupDir()); // a file where the folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    st.AsFoundImage = supply.image();
    adjustOnce();
    ASSERT_EQ(host.questions.size(), 1);
    EXPECT_TRUE(st.FailText.startsWith(QLatin1String("Backup failed: cannot create the folder ")))
        << st.FailText.toStdString();
    EXPECT_TRUE(supply.sent(QStringLiteral("SEEP")).isEmpty());
    EXPECT_FALSE(st.BackupWritten);

    st.AbortFlag = false;
    cal.backup().setSkipped(true);
    adjustOnce();
    adjustOnce();
    EXPECT_EQ(host.messages, QStringList{"No backup of the supply's EEPROM is made (--no-backup)."});
    EXPECT_EQ(host.questions.size(), 1);
    EXPECT_EQ(supply.sent(QStringLiteral("SEEP")).size(), 2);
}

} // namespace
} // namespace psucal::test
