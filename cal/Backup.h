#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

namespace psucal {

class BenchUi;
class SupplyLink;
struct BenchState;

// Keeps a copy of the supply's EEPROM as it was found, taken before the program first writes a
// calibration row, so that a calibration gone wrong can be undone by hand.
//
// File: <program folder>/backups/<serial>_<yyyyMMdd-HHmmss>.txt, plain ASCII text, LF line ends.
//   # psucal as-found EEPROM image, serial 12345678, read 2024-05-17 14:03:59
//   000 3? 80 01 <4
//   ...
//   058 80 80 83 81
//   ...
//   159 00 00 00 00
// The first line is a comment (lines starting with "#" are comments). Then 160 lines, one per
// EEPROM row 0..159: the row number as three digits, then the row's four cells (cell 1 first),
// each as the two characters the supply uses on the wire (nibble alphabet "0".."9" ":" ";" "<"
// "=" ">" "?" for 0..15, high nibble first), separated by single blanks.
// The serial in the file name keeps only A-Z a-z 0-9 - and _ (any other character becomes "_",
// an empty serial is written "unknown"). An existing file is never overwritten: a second backup
// within the same second is named <serial>_<stamp>-2.txt, then -3, and so on.
class Backup {
public:
    Backup(BenchState& state, BenchUi& ui, SupplyLink& link, QString programDir);

    // Called before every row write; true once the backup is on disk (or the operator chose to
    // go without one), and from then on at once. Without it nothing may be written: when no
    // image can be had or the file cannot be written, the operator may retry; otherwise the
    // step fails with AbortFlag and a FailText that names the reason.
    bool BeforeFirstWrite();

    // The explicit override (--no-backup): writes go ahead without a backup, after one note.
    void setSkipped(bool skipped) { skipped_ = skipped; }

    // The path of the file written by this object, empty when none was.
    const QString& writtenPath() const { return written_; }

    void setNow(std::function<QDateTime()> now) { now_ = std::move(now); }

    // Writes `image` (the 1443-character whole-image reply) below `programDir`; returns the path,
    // or an empty string with the reason in `error`.
    static QString Write(const QString& programDir, const QString& serial, const QString& image, const QDateTime& when,
                         QString* error);

private:
    // Writes the backup, reading the image first when none was kept; the reason when it fails.
    QString attempt();
    // The unit's as-found image is at hand (read now if need be) and the link's shadow holds it.
    bool haveImage();

    BenchState& st_;
    BenchUi& ui_;
    SupplyLink& link_;
    QString dir_;
    std::function<QDateTime()> now_;
    bool skipped_ = false;
    bool noted_ = false;
    QString written_;
};

} // namespace psucal
