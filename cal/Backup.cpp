#include "cal/Backup.h"

#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "link/EepromImage.h"
#include "link/SupplyLink.h"

#include <QDir>
#include <QFile>

namespace psucal {

namespace {
constexpr int MaxSuffix = 100;
} // namespace

Backup::Backup(BenchState& state, BenchUi& ui, SupplyLink& link, QString programDir)
    : st_(state), ui_(ui), link_(link), dir_(std::move(programDir)), now_([] { return QDateTime::currentDateTime(); })
{
}

bool Backup::BeforeFirstWrite()
{
    if (st_.BackupWritten)
        return true;
    if (skipped_) {
        if (!noted_)
            ui_.messageBox(QStringLiteral("No backup of the supply's EEPROM is made (--no-backup)."));
        noted_ = true;
        return true;
    }
    for (;;) {
        const QString error = attempt();
        if (error.isEmpty()) {
            st_.BackupWritten = true;
            return true;
        }
        if (!ui_.askRetry(QStringLiteral("No backup of the supply's EEPROM could be made: %1.\n"
                                         "Nothing is written to the supply without one.")
                              .arg(error))) {
            st_.AbortFlag = true;
            st_.FailText = QStringLiteral("Backup failed: ") + error;
            return false;
        }
    }
}

QString Backup::attempt()
{
    QString image = st_.AsFoundImage;
    if (!image::Complete(image)) {
        image = link_.SendCommand(QStringLiteral("GEEP"), QString(), image::Length, 2.0);
        if (!image::Complete(image))
            return QStringLiteral("the supply did not send its EEPROM image");
        st_.AsFoundImage = image.left(image::Length);
    }
    QString error;
    written_ = Write(dir_, st_.SerialNo, image, now_(), &error);
    return written_.isEmpty() ? error : QString();
}

QString Backup::SafeSerial(const QString& serial)
{
    if (serial.isEmpty())
        return QStringLiteral("unknown");
    QString out = serial;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        const bool keep =
            (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') || u == u'-' || u == u'_';
        if (!keep)
            c = u'_';
    }
    return out;
}

QString Backup::Write(const QString& programDir, const QString& serial, const QString& image, const QDateTime& when,
                      QString* error)
{
    const QString folder = QDir(programDir).filePath(QStringLiteral("backups"));
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot create the folder %1").arg(folder);
        return QString();
    }

    QByteArray text = QStringLiteral("# psucal as-found EEPROM image, serial %1, read %2\n")
                          .arg(serial.isEmpty() ? QStringLiteral("unknown") : serial,
                               when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                          .toUtf8();
    for (int row = 0; row < image::Rows; ++row)
        text += image::RowLine(row, image::Row(image, row)).toLatin1() + '\n';

    const QString stem = SafeSerial(serial) + u'_' + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 1; n <= MaxSuffix; ++n) {
        const QString name = n == 1 ? stem + QStringLiteral(".txt") : QStringLiteral("%1-%2.txt").arg(stem).arg(n);
        const QString path = QDir(folder).filePath(name);
        QFile file(path);
        // NewOnly fails on an existing file, so an earlier backup is never replaced.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (file.exists())
                continue;
            *error = QStringLiteral("cannot write %1 (%2)").arg(path, file.errorString());
            return QString();
        }
        if (file.write(text) != text.size() || !file.flush()) {
            *error = QStringLiteral("cannot write %1 (%2)").arg(path, file.errorString());
            file.close();
            file.remove();
            return QString();
        }
        return path;
    }
    *error = QStringLiteral("too many backups named %1 already").arg(stem);
    return QString();
}

} // namespace psucal
