#pragma once

#include <QSqlDatabase>
#include <QString>

namespace psucal {

// Calibration.dt in the program folder: an SQLite file holding the EEPROM working table TB1 and
// the report records. One connection per object, open for the object's lifetime.
class Database {
public:
    static constexpr const char* FileName = "Calibration.dt";
    static constexpr int Rows = 160;
    // TB1: one record per EEPROM row, ID 0..159, cells 1..4 as two nibble characters each.
    static constexpr const char* CellField[4] = {"Cell1", "Cell2", "Cell3", "Cell4"};

    // Opens <programDir>/Calibration.dt, creating it when missing. A file that is not SQLite
    // is never touched; error() then says why the database is unusable.
    explicit Database(const QString& programDir);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The file opened and holds a complete TB1.
    bool usable() const { return usable_; }
    // Why the database is not usable, in words for the operator; empty when it is.
    const QString& error() const { return error_; }
    const QString& filePath() const { return path_; }
    QSqlDatabase connection() const { return db_; }

private:
    bool open();
    bool ensureTb1();
    bool fail(const QString& reason);

    QString path_;
    QSqlDatabase db_;
    bool usable_ = false;
    QString error_;
};

} // namespace psucal
