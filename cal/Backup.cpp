#include "cal/Backup.h"

#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/NewFile.h"
#include "core/Numbers.h"
#include "link/Nibble.h"
#include "link/SupplyLink.h"

#include <QDir>
#include <QFile>

namespace psucal {

namespace {
constexpr int Rows = 160;
constexpr int BlockLength = 9;
constexpr int ImageLength = 1443;
constexpr int MaxSuffix = 100;
} // namespace

Backup::Backup(BenchState& state, BenchUi& ui, SupplyLink& link, QString programDir)
    : st_(state), ui_(ui), link_(link), dir_(std::move(programDir)), now_([] { return QDateTime::currentDateTime(); })
{
}

void Backup::BeforeFirstWrite()
{
    if (st_.BackupWritten || tried_)
        return;
    tried_ = true;

    QString image = st_.AsFoundImage;
    if (!ImageComplete(image)) {
        image = link_.SendCommand(QStringLiteral("GEEP"), QString(), ImageLength, 2.0);
        if (ImageComplete(image))
            st_.AsFoundImage = image.left(ImageLength);
    }
    QString error;
    if (!ImageComplete(image))
        error = QStringLiteral("the supply did not send its EEPROM image");
    else
        written_ = Write(dir_, st_.SerialNo, image, now_(), &error);

    if (written_.isEmpty()) {
        ui_.messageBox(QStringLiteral("No backup of the supply's EEPROM could be made: %1.\n"
                                      "The calibration goes on without one.")
                           .arg(error));
        return;
    }
    st_.BackupWritten = true;
}

QString Backup::SafeSerial(const QString& serial)
{
    return files::SafeName(serial);
}

bool Backup::ImageComplete(const QString& image)
{
    if (image.size() < Rows * BlockLength)
        return false;
    for (int row = 0; row < Rows; ++row)
        if (!nibble::IsNibbles(image.mid(row * BlockLength, 8), 8))
            return false;
    return true;
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
    for (int row = 0; row < Rows; ++row) {
        const QString block = image.mid(row * BlockLength, 8);
        QString line = num::Digits(row, 3);
        for (int cell = 0; cell < 4; ++cell)
            line += u' ' + block.mid(2 * cell, 2);
        text += line.toLatin1() + '\n';
    }

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
