#pragma once

#include "eeprom/BackupFile.h"
#include "eeprom/Tb1.h"

#include <QObject>
#include <QSqlDatabase>
#include <QStringList>

#include <array>
#include <functional>

namespace psucal {

class BenchUi;
class SupplyLink;
struct BenchState;

// The EEPROM editor without its widgets: the working table TB1, the record the grid stands on,
// the five single-row boxes Text1(0..4), and the reads and writes through the supply link.
// Nothing is written to the supply from a table that was not read from the unit now connected,
// and nothing at all from a cell or row number that is not what the supply expects.
class EepromEditor : public QObject {
    Q_OBJECT
public:
    // What the last "Write" pass did.
    struct WriteReport {
        int rowsSent = 0;
        QStringList unconfirmed; // rows ("060") answered without "OK"
        int silentRow = -1;      // the row the supply fell silent on; -1 when it never did
        bool readBack = false;   // the image was read back afterwards
    };
    enum class LoadResult { Loaded, Refused, SerialDiffers };

    EepromEditor(BenchState& state, BenchUi& ui, SupplyLink& link, QSqlDatabase db, QObject* parent = nullptr);

    // Called before anything is written to a unit; false: write nothing. Its own messages
    // are its business.
    void setBackupGuard(std::function<bool()> guard) { guard_ = std::move(guard); }

    // "Read": the whole image into TB1. On failure TB1 stays as it was and nothing is sent.
    bool CmdRead_Click();
    // A whole-image reply into TB1 in one transaction; false (TB1 untouched) unless every one
    // of its 160 rows is nibble characters and "OK" stands in place.
    bool LoadEepromImage(const QString& image);
    // "Write": rows 0..7 and 58..159 of TB1 to the supply, then the image read back.
    bool CmdWrite_Click();
    // "Write a Row": the row held in Text1(0..4), then the image read back.
    bool CmdWrite_a_R_Click();
    // "Clear": the calibration cells of rows 58..149 from the current record on become "00",
    // then "Write".
    bool CmdClear_Click();

    // "Load backup...": TB1 filled from a backup file, for review before "Write". Needs a read
    // from the unit; a backup of another serial number is refused unless `force`.
    LoadResult LoadBackup(const QString& path, bool force = false);
    LoadResult LoadBackupRows(const eeprom::BackupFile& backup, bool force);

    // The record Grid1 stands on; moving there copies it into the boxes (Grid1_RowColChange).
    int currentRecord() const { return current_; }
    void setCurrentRecord(int id);

    QString text1(int index) const { return text1_.at(index); }
    void setText1(int index, const QString& text) { text1_.at(index) = text; }
    // Leaving Text1(0) moves the grid to the row it names.
    void Text1_LostFocus(int index);

    // Write and Clear need a read from the unit now connected. The front end withdraws it on
    // a port change, REFRESH, "Fulfill" or a new serial number.
    void WithdrawRead() { readValid_ = false; }
    bool readValid() const { return readValid_; }
    // The serial number held by the image last read; empty before any.
    const QString& unitSerial() const { return unitSerial_; }

    bool busy() const { return busy_; }
    BenchUi& ui() const { return ui_; }
    const WriteReport& lastWrite() const { return lastWrite_; }
    eeprom::Tb1& table() { return table_; }

signals:
    void tableChanged(); // TB1 changed under the grid
    void currentChanged(int id);
    void boxesChanged();
    void busyChanged(bool busy);

private:
    class BusyScope;
    bool readImage();
    // Puts the rows into TB1 and shows row 0; false, with a message, when TB1 refuses them.
    bool fillTable(const eeprom::ImageRowList& rows);
    bool writeAll();
    bool readyToWrite();
    bool guardAllows();

    BenchState& st_;
    BenchUi& ui_;
    SupplyLink& link_;
    eeprom::Tb1 table_;
    std::function<bool()> guard_;
    int current_ = 0;
    std::array<QString, 5> text1_{QStringLiteral("000"), QStringLiteral("00"), QStringLiteral("00"),
                                  QStringLiteral("00"), QStringLiteral("00")};
    bool readValid_ = false;
    QString readFor_; // SerialNo when the table was read
    QString unitSerial_;
    bool busy_ = false;
    WriteReport lastWrite_;
};

} // namespace psucal
