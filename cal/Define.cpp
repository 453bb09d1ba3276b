#include "cal/Define.h"

#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/Rating.h"
#include "core/StatusText.h"
#include "link/EepromImage.h"
#include "link/Nibble.h"
#include "link/SupplyLink.h"

namespace psucal {

namespace {
constexpr int SerialLength = 16;
constexpr int SerialAttempts = 2;
constexpr int BaseAttempts = 11;
const QString DefineFailed = QStringLiteral("Define failed !");
constexpr int HintFrom = 11; // the hint after Define is shown from its 12th character

// The hourglass while a step runs, and the progress bar back at 0 however the step ends.
class Hourglass {
public:
    explicit Hourglass(BenchUi& ui) : ui_(ui) { ui_.setBusy(true); }
    ~Hourglass()
    {
        ui_.setProgressValue(0);
        ui_.setBusy(false);
    }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;

private:
    BenchUi& ui_;
};

bool Printable(const QString& text)
{
    for (QChar c : text)
        if (c.unicode() < 32 || c.unicode() > 126)
            return false;
    return true;
}
} // namespace

Define::Define(BenchState& state, BenchUi& ui, SupplyLink& link) : st_(state), ui_(ui), link_(link) {}

bool Define::Run()
{
    st_.AbortFlag = false;
    st_.FailText.clear();
    reason_.clear();
    WriteSerialNumber();
    if (!st_.AbortFlag)
        WriteBaseData();
    if (!st_.FailText.isEmpty())
        ui_.messageBox(reason_.isEmpty() ? st_.FailText : st_.FailText + u'\n' + reason_);
    return !st_.AbortFlag;
}

void Define::fail(const QString& reason)
{
    st_.FailText = DefineFailed;
    st_.AbortFlag = true;
    reason_ = reason;
}

bool Define::guardAllows()
{
    if (!guard_ || guard_())
        return true;
    fail(QStringLiteral("Nothing was written: there is no backup of the supply's EEPROM."));
    return false;
}

bool Define::writeRow(int row, const QString& cells, int attempts, double timeout)
{
    if (link_.writeRow(row, cells, attempts, timeout) == SupplyLink::RowWrite::Confirmed)
        return true;
    fail(QStringLiteral("No: %1 Row SEEP error .").arg(row));
    return false;
}

void Define::WriteSerialNumber()
{
    const QString serial = st_.SerialNoEdit.trimmed();
    // An empty serial number would zero the unit's rows; a long or unprintable one could not
    // read back as it was typed.
    if (serial.isEmpty())
        return fail(QStringLiteral("S/N = ?"));
    if (serial.size() > SerialLength)
        return fail(QStringLiteral("S/N = ?\nA serial number has at most %1 characters; \"%2\" has %3.")
                        .arg(SerialLength)
                        .arg(serial)
                        .arg(serial.size()));
    if (!Printable(serial))
        return fail(QStringLiteral("S/N = ?\nA serial number holds printable ASCII characters only."));

    Hourglass hourglass(ui_);
    if (!guardAllows())
        return;
    for (int i = 0; i < image::Rows - image::SerialRow; ++i) {
        QString cells;
        for (int k = 0; k < 4; ++k) {
            const int at = 4 * i + k;
            int code = at < serial.size() ? serial[at].unicode() : 0;
            cells += nibble::EncodeByte(code);
        }
        st_.CurRow = image::SerialRow + i;
        if (!writeRow(st_.CurRow, cells, SerialAttempts, 0.2))
            return;
    }
    link_.ReadSerialNumber();
    link_.Delay(0.2);
    if (st_.SerialNo != serial)
        fail(QStringLiteral("The serial number read back is \"%1\", not \"%2\".").arg(st_.SerialNo, serial));
}

void Define::WriteBaseData()
{
    const Rating* rating = ui_.rating();
    if (!rating)
        return fail(QStringLiteral("Plese select ' Max Output V & I ' ."));

    Hourglass hourglass(ui_);
    ui_.setStatus(2, StatusText(StatusWording(st_.RunMode), DefineStep));
    ui_.setProgressMax(8);
    ui_.setProgressValue(0);

    if (!guardAllows())
        return;
    for (const BaseRow& row : rating->baseData) {
        st_.CurRow = row.row;
        if (!writeRow(row.row, row.data(), BaseAttempts, 0.5))
            return;
        ui_.setProgressValue(ui_.progressValue() + 1);
        // A Stop pressed during the row's wait ends the step here.
        if (st_.AbortFlag)
            return;
    }
    if (identify_)
        identify_(2);
    link_.Delay(0.2);
    ui_.setStatus(2, StatusText(StatusWording(st_.RunMode), VoltageStep).mid(HintFrom));
}

} // namespace psucal
