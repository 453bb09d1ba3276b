// SupplyLink's EEPROM rows: reads checked against the shadow, writes settled by reading back.
#include "link/SupplyLink.h"

#include "core/BenchState.h"
#include "core/Numbers.h"
#include "link/EepromImage.h"
#include "link/Nibble.h"
#include "link/ReplyShape.h"
#include "link/Trace.h"

#include <algorithm>

namespace psucal {

namespace {
constexpr int RowReadAttempts = 4;
QString Cells(int row, const QString& cells)
{
    return image::RowLine(row, cells).mid(4);
}
} // namespace

std::optional<QString> SupplyLink::readAgreeing(int row, QString* differing)
{
    const QString digits = num::Digits(row, 3);
    // A line found dead gets one read, a live one four.
    const int attempts = dead_ ? 1 : RowReadAttempts;
    bool silent = true;
    const char* why = nullptr;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0)
            askedAgain(QStringLiteral("GEEP") + digits, why ? why : "row differs", attempt, attempts - 1, why != nullptr);
        const QString reply = SendCommand(QStringLiteral("GEEP"), digits, image::RowLength, 0.1);
        Delay(0.1);
        // Exactly eight nibble characters are a row. Anything else (short, garbled, the digits
        // of a display reading that came late) is read again.
        if (!reply::Row(reply)) {
            replyLost();
            silent = silent && reply.isEmpty();
            why = Why(false, reply, image::RowLength);
            continue;
        }
        silent = false;
        dead_ = false;
        // Eight valid characters can still carry a nibble changed on the line; written back,
        // the noise would land in the other cells of the row.
        if (!shadow_.agrees(row, reply)) {
            *differing = reply;
            why = nullptr;
            if (trace_)
                trace_->note("supply", QStringLiteral("row %1 read %2, expected %3: read again")
                                           .arg(digits, Cells(row, reply), shadow_.expected(row))
                                           .toLatin1());
            continue;
        }
        shadow_.settle(row, reply);
        return reply;
    }
    if (silent && st_.Retries > 0)
        dead_ = true;
    return std::nullopt;
}

SupplyLink::RowReadOutcome SupplyLink::ReadEepRow()
{
    QString differing;
    const std::optional<QString> reply = readAgreeing(st_.CurRow, &differing);
    if (reply) {
        for (int i = 1; i <= 4; ++i) {
            st_.RowRead[i] = reply->mid(2 * i - 2, 2);
            st_.RowCells[i] = st_.RowRead[i];
        }
        return RowReadOutcome::Read;
    }
    if (differing.isEmpty())
        return RowReadOutcome::NoReply;
    disagreed(st_.CurRow, differing);
    return RowReadOutcome::Mismatch;
}

void SupplyLink::disagreed(int row, const QString& differing)
{
    mismatch_ = QStringLiteral("EEPROM row %1 reads %2 but should hold %3; nothing was written to it. "
                               "Check the cable and the unit.")
                    .arg(num::Digits(row, 3), Cells(row, differing), shadow_.expected(row));
    if (trace_)
        trace_->note("supply", mismatch_.toLatin1());
}

SupplyLink::RowWrite SupplyLink::writeRow(int row, const QString& cells, int attempts, double timeout)
{
    // The supply ends its "OK" with a carriage return; waiting for that too keeps it out of the
    // reply to the next row, where it would hide that row's "OK".
    const QString data = num::Digits(row, 3) + cells;
    QString reply;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0)
            askedAgain(QStringLiteral("SEEP") + data, Why(false, reply, 3), attempt, attempts - 1);
        reply = SendCommand(QStringLiteral("SEEP"), data, 3, timeout);
        if (reply.startsWith(QLatin1String("OK")))
            return RowWrite::Confirmed;
        // An "OK" lost on the line: the row read back tells whether the write landed.
        if (st_.Retries > 0 && !lost_) {
            QString differing;
            drain(quietAfter(reply, timeout));
            if (readAgreeing(row, &differing) == cells)
                return RowWrite::Confirmed;
        }
    }
    return reply.isEmpty() ? RowWrite::Silent : RowWrite::Unconfirmed;
}

SupplyLink::RowWrite SupplyLink::writeCorrection(int row, const QString& cells, const QString& old)
{
    const QString data = num::Digits(row, 3) + cells;
    const int extra = std::max(0, st_.Retries);
    for (int attempt = 0;; ++attempt) {
        const QString reply = SendCommand(QStringLiteral("SEEP"), data, 2, 0.2);
        if (extra == 0 || reply.startsWith(QLatin1String("OK")))
            return RowWrite::Confirmed;
        if (lost_)
            return RowWrite::Silent;
        // Only a row read back whole, and as it can be, may decide: the old cells mean the
        // write did not land.
        drain(quietAfter(reply, 0.2));
        QString differing;
        const std::optional<QString> now = readAgreeing(row, &differing);
        if (now == cells)
            return RowWrite::Confirmed;
        if (!now && differing.isEmpty()) {
            mismatch_ = QStringLiteral("EEPROM row %1 could not be read back after a write without \"OK\"; nothing "
                                       "more was written to it.")
                            .arg(num::Digits(row, 3));
            if (trace_)
                trace_->note("supply", mismatch_.toLatin1());
            return RowWrite::Silent;
        }
        if (!now) {
            disagreed(row, differing);
            return RowWrite::Unconfirmed;
        }
        if (attempt == extra) {
            mismatch_ = QStringLiteral("EEPROM row %1 still holds %2 after %3 writes of %4.")
                            .arg(num::Digits(row, 3), Cells(row, old))
                            .arg(attempt + 1)
                            .arg(Cells(row, cells));
            if (trace_)
                trace_->note("supply", mismatch_.toLatin1());
            return RowWrite::Unconfirmed;
        }
        askedAgain(QStringLiteral("SEEP") + data, Why(false, reply, 2), attempt + 1, extra);
        // The read settled the row on its old cells: the write goes out again as a maybe.
    }
}

void SupplyLink::noteWrite(const QString& data, const QString& reply)
{
    bool ok = false;
    const int row = data.left(3).toInt(&ok);
    const QString cells = data.mid(3);
    if (!ok || !nibble::IsNibbles(cells, image::RowLength))
        return;
    if (reply.startsWith(QLatin1String("OK")))
        shadow_.written(row, cells);
    else
        shadow_.unconfirmed(row, cells);
}

} // namespace psucal
