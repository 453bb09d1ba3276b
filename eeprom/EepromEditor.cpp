#include "eeprom/EepromEditor.h"

#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "link/SupplyLink.h"

namespace psucal {

using namespace eeprom;

namespace {
constexpr int ReadAttempts = 3;
constexpr int WriteAttempts = 4;
constexpr int RowAttempts = 5;
constexpr double WriteTimeout = 0.6;
const QString CellAlphabet = QStringLiteral("two characters of 0-9 : ; < = > ?");
} // namespace

// Marks an operation in hand: busy pointer, controls off, no second operation inside a wait.
class EepromEditor::BusyScope {
public:
    explicit BusyScope(EepromEditor& e) : e_(e), outer_(!e.busy_)
    {
        if (!outer_)
            return;
        e_.busy_ = true;
        e_.ui_.setBusy(true);
        emit e_.busyChanged(true);
    }
    ~BusyScope()
    {
        if (!outer_)
            return;
        e_.busy_ = false;
        e_.ui_.setBusy(false);
        emit e_.busyChanged(false);
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    EepromEditor& e_;
    bool outer_;
};

EepromEditor::EepromEditor(BenchState& state, BenchUi& ui, SupplyLink& link, QSqlDatabase db, QObject* parent)
    : QObject(parent), st_(state), ui_(ui), link_(link), table_(std::move(db))
{
}

bool EepromEditor::CmdRead_Click()
{
    if (busy_)
        return false;
    BusyScope scope(*this);
    return readImage();
}

bool EepromEditor::readImage()
{
    std::optional<ImageRowList> rows;
    for (int attempt = 0; attempt < ReadAttempts && !rows; ++attempt)
        rows = SplitImage(link_.ReadImage());
    // A failed read says so and stops: the table may be another unit's, or empty, and must not
    // be sent to this one in its place.
    if (!rows) {
        readValid_ = false;
        ui_.messageBox(QStringLiteral("The supply did not send its whole EEPROM image (%1 tries).\n"
                                      "The table was left as it was and nothing was written.")
                           .arg(ReadAttempts));
        return false;
    }
    if (!fillTable(*rows))
        return false;
    readValid_ = true;
    readFor_ = st_.SerialNo;
    unitSerial_ = SerialOf(*rows);
    return true;
}

bool EepromEditor::LoadEepromImage(const QString& image)
{
    const std::optional<ImageRowList> rows = SplitImage(image);
    return rows && fillTable(*rows);
}

bool EepromEditor::fillTable(const ImageRowList& rows)
{
    QString error;
    if (!table_.storeRows(rows, &error)) {
        ui_.messageBox(QStringLiteral("The table TB1 cannot be changed: %1").arg(error));
        return false;
    }
    emit tableChanged();
    setCurrentRecord(0);
    return true;
}

bool EepromEditor::readyToWrite()
{
    if (readValid_ && st_.SerialNo == readFor_)
        return true;
    ui_.messageBox(QStringLiteral("Read the supply first.\nWrite and Clear send the table only after it was read "
                                  "from the unit now connected."));
    return false;
}

bool EepromEditor::guardAllows()
{
    return !guard_ || guard_();
}

bool EepromEditor::CmdWrite_Click()
{
    if (busy_)
        return false;
    BusyScope scope(*this);
    return writeAll();
}

bool EepromEditor::writeAll()
{
    lastWrite_ = WriteReport();
    if (!readyToWrite())
        return false;
    QString error;
    const auto records = table_.all(&error);
    if (!records) {
        ui_.messageBox(QStringLiteral("The table TB1 cannot be read: %1").arg(error));
        return false;
    }

    QList<std::pair<int, QString>> rows; // row, cells
    QStringList bad;
    for (int id = 0; id < Rows; ++id) {
        if (!Writable(id))
            continue;
        QString cells;
        for (int k = 0; k < 4; ++k) {
            const QString cell = WireCell((*records)[id][k]);
            if (cell.isEmpty())
                bad << QStringLiteral("row %1 cell %2 \"%3\"").arg(RowText(id)).arg(k + 1).arg((*records)[id][k]);
            cells += cell;
        }
        rows.append({id, cells});
    }
    if (!bad.isEmpty()) {
        const QString list = bad.size() > 10 ? bad.mid(0, 10).join(u'\n') + QStringLiteral("\n...") : bad.join(u'\n');
        ui_.messageBox(QStringLiteral("Nothing was sent: every cell must be %1.\n%2").arg(CellAlphabet, list));
        return false;
    }
    if (!guardAllows())
        return false;

    for (const auto& [row, cells] : rows) {
        const SupplyLink::RowWrite written = link_.writeRow(row, cells, WriteAttempts, WriteTimeout);
        ++lastWrite_.rowsSent;
        if (written == SupplyLink::RowWrite::Silent) {
            lastWrite_.silentRow = row;
            break;
        }
        if (written == SupplyLink::RowWrite::Unconfirmed)
            lastWrite_.unconfirmed << RowText(row);
    }
    const QString unconfirmed = QStringLiteral("These rows did not answer \"OK\" and may not hold what the table "
                                               "said: %1")
                                    .arg(lastWrite_.unconfirmed.join(QStringLiteral(", ")));
    if (lastWrite_.silentRow >= 0) {
        QString text = QStringLiteral("Connect failed\nRow %1 got no answer; the rows after it were not sent.")
                           .arg(RowText(lastWrite_.silentRow));
        if (!lastWrite_.unconfirmed.isEmpty())
            text += u'\n' + unconfirmed;
        ui_.messageBox(text);
        return false;
    }
    lastWrite_.readBack = readImage();
    if (!lastWrite_.unconfirmed.isEmpty())
        ui_.messageBox(unconfirmed);
    return lastWrite_.readBack && lastWrite_.unconfirmed.isEmpty();
}

bool EepromEditor::CmdWrite_a_R_Click()
{
    if (busy_)
        return false;
    BusyScope scope(*this);
    const std::optional<int> row = ParseRow(text1_[0]);
    if (!row) {
        ui_.messageBox(
            QStringLiteral("Row number \"%1\" is not a whole number from 0 to 159.\nNothing was sent.").arg(text1_[0]));
        return false;
    }
    if (!Writable(*row)) {
        ui_.messageBox(QStringLiteral("Address ID 8~57 row can't write !"));
        return false;
    }
    QString cells;
    for (int k = 1; k <= 4; ++k) {
        const QString cell = WireCell(text1_[k]);
        if (cell.isEmpty()) {
            ui_.messageBox(QStringLiteral("Row %1: cell %2 \"%3\" is not %4.\nNothing was sent.")
                               .arg(RowText(*row))
                               .arg(k)
                               .arg(text1_[k], CellAlphabet));
            return false;
        }
        cells += cell;
    }
    if (!guardAllows())
        return false;
    if (link_.writeRow(*row, cells, RowAttempts, WriteTimeout) != SupplyLink::RowWrite::Confirmed) {
        ui_.messageBox(QStringLiteral("Row %1 was not written: the supply did not answer \"OK\" in %2 tries.")
                           .arg(RowText(*row))
                           .arg(RowAttempts));
        return false;
    }
    const bool readBack = readImage();
    setCurrentRecord(*row);
    return readBack;
}

bool EepromEditor::CmdClear_Click()
{
    if (busy_)
        return false;
    BusyScope scope(*this);
    if (!readyToWrite())
        return false;
    QString error;
    if (!table_.zeroCalibrationCells(current_, &error)) {
        ui_.messageBox(QStringLiteral("The table TB1 cannot be changed: %1").arg(error));
        return false;
    }
    emit tableChanged();
    return writeAll();
}

EepromEditor::LoadResult EepromEditor::LoadBackup(const QString& path, bool force)
{
    QString error;
    const std::optional<BackupFile> backup = BackupFile::Read(path, &error);
    if (!backup) {
        ui_.messageBox(QStringLiteral("The backup file %1 cannot be used: %2.\nNothing was loaded.").arg(path, error));
        return LoadResult::Refused;
    }
    return LoadBackupRows(*backup, force);
}

EepromEditor::LoadResult EepromEditor::LoadBackupRows(const BackupFile& backup, bool force)
{
    if (busy_)
        return LoadResult::Refused;
    if (!readValid_) {
        ui_.messageBox(QStringLiteral("Read the supply first, so that the backup can be checked against the unit "
                                      "now connected.\nNothing was loaded."));
        return LoadResult::Refused;
    }
    if (backup.serial() != unitSerial_ && !force)
        return LoadResult::SerialDiffers;
    return fillTable(backup.rows) ? LoadResult::Loaded : LoadResult::Refused;
}

void EepromEditor::setCurrentRecord(int id)
{
    if (id < 0 || id >= Rows)
        return;
    const bool moved = id != current_;
    current_ = id;
    text1_[0] = QString::number(id);
    // A cell that cannot be copied leaves its box as it was.
    if (const std::optional<Tb1::Cells> cells = table_.cells(id)) {
        for (int k = 0; k < 4; ++k)
            if (!(*cells)[k].isNull())
                text1_[k + 1] = (*cells)[k];
    }
    if (moved)
        emit currentChanged(id);
    emit boxesChanged();
}

void EepromEditor::Text1_LostFocus(int index)
{
    if (index != 0)
        return;
    if (const std::optional<int> row = ParseRow(text1_[0]))
        setCurrentRecord(*row);
}

} // namespace psucal
