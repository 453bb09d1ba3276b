#include "eeprom/Restore.h"

#include "eeprom/BackupFile.h"
#include "eeprom/EepromEditor.h"

namespace psucal {

using namespace eeprom;

namespace {
QString Shown(const QString& serial)
{
    return serial.isEmpty() ? QStringLiteral("(none)") : serial;
}
} // namespace

Restore::Outcome Restore::run(const QString& path, bool force)
{
    Outcome out;
    QString error;
    const std::optional<BackupFile> backup = BackupFile::Read(path, &error);
    if (!backup) {
        out.summary = QStringLiteral("%1 cannot be restored: %2. Nothing was sent.").arg(path, error);
        return out;
    }
    if (!editor_.CmdRead_Click()) {
        out.summary = QStringLiteral("The supply's EEPROM could not be read; nothing was written.");
        return out;
    }
    switch (editor_.LoadBackupRows(*backup, force)) {
    case EepromEditor::LoadResult::SerialDiffers:
        out.summary = QStringLiteral("%1 is the backup of serial number %2, but the supply connected is %3; "
                                     "nothing was written.")
                          .arg(path, Shown(backup->serial()), Shown(editor_.unitSerial()));
        return out;
    case EepromEditor::LoadResult::Refused:
        out.summary = QStringLiteral("%1 could not be loaded; nothing was written.").arg(path);
        return out;
    case EepromEditor::LoadResult::Loaded:
        break;
    }

    editor_.CmdWrite_Click();
    const EepromEditor::WriteReport& report = editor_.lastWrite();
    out.sent = report.rowsSent > 0;
    if (!report.readBack) {
        out.summary = report.rowsSent == 0 ? QStringLiteral("Nothing was written to the supply.")
                                           : QStringLiteral("The supply's EEPROM could not be read back after the "
                                                            "write; the restore is not confirmed.");
        return out;
    }

    // After the read-back TB1 holds what the supply reports.
    QString tableError;
    const auto now = editor_.table().all(&tableError);
    if (!now) {
        out.summary = QStringLiteral("The image read back cannot be compared: %1").arg(tableError);
        return out;
    }
    int compared = 0;
    for (int r = 0; r < Rows; ++r) {
        if (!Writable(r))
            continue;
        ++compared;
        const Tb1::Cells& c = (*now)[r];
        if (c[0] + c[1] + c[2] + c[3] != backup->rows[r])
            out.differing << RowText(r);
    }
    out.restored = out.differing.isEmpty();
    out.summary =
        out.restored
            ? QStringLiteral("%1 restored: all %2 written rows read back equal to the file.").arg(path).arg(compared)
            : QStringLiteral("%1 not restored: rows %2 read back different from the file.")
                  .arg(path, out.differing.join(QStringLiteral(", ")));
    return out;
}

} // namespace psucal
