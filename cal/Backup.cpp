#include "cal/Backup.h"

#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/NewFile.h"
#include "link/EepromImage.h"
#include "link/SupplyLink.h"

#include <QDir>

namespace psucal {

namespace {
const QString NoImage = QStringLiteral("the supply did not send its EEPROM image");
} // namespace

Backup::Backup(BenchState& state, BenchUi& ui, SupplyLink& link, QString programDir)
    : st_(state), ui_(ui), link_(link), dir_(std::move(programDir)), now_([] { return QDateTime::currentDateTime(); })
{
}

bool Backup::BeforeFirstWrite()
{
    if (st_.BackupWritten && (link_.shadow().known() || haveImage()))
        return true;
    if (skipped_) {
        if (!noted_)
            ui_.messageBox(QStringLiteral("No backup of the supply's EEPROM is made (--no-backup)."));
        noted_ = true;
        // Not saved, but still read: every row read is checked against it.
        if (link_.shadow().known() || haveImage())
            return true;
        st_.AbortFlag = true;
        st_.FailText = QStringLiteral("EEPROM image unreadable: ") + NoImage;
        return false;
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

bool Backup::haveImage()
{
    if (!image::Complete(st_.AsFoundImage)) {
        const QString image = link_.ReadImage();
        if (image::Complete(image))
            st_.AsFoundImage = image.left(image::Length);
    }
    EepromShadow& shadow = link_.shadow();
    if (!shadow.known())
        shadow.load(st_.AsFoundImage);
    return shadow.known() && image::Complete(st_.AsFoundImage);
}

QString Backup::attempt()
{
    if (!haveImage())
        return NoImage;
    QString error;
    written_ = Write(dir_, st_.SerialNo, st_.AsFoundImage, now_(), &error);
    return written_.isEmpty() ? error : QString();
}

QString Backup::Write(const QString& programDir, const QString& serial, const QString& image, const QDateTime& when,
                      QString* error)
{
    QByteArray text = QStringLiteral("# psucal as-found EEPROM image, serial %1, read %2\n")
                          .arg(serial.isEmpty() ? QStringLiteral("unknown") : serial,
                               when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                          .toUtf8();
    for (int row = 0; row < image::Rows; ++row)
        text += image::RowLine(row, image::Row(image, row)).toLatin1() + '\n';

    return files::WriteNew(QDir(programDir).filePath(QStringLiteral("backups")), files::Stem(serial, when),
                           QStringLiteral(".txt"), text, error);
}

} // namespace psucal
