#include "link/SupplyLink.h"

#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/Clock.h"
#include "core/Numbers.h"
#include "link/EepromImage.h"
#include "link/Nibble.h"
#include "link/Trace.h"
#include "link/Transport.h"

#include <QScopedValueRollback>

#include <algorithm>

namespace psucal {

namespace {
// A line that keeps talking counts as settled after the time the longest reply takes at 9600 baud.
constexpr double LongestReplyTime = image::Length * 10 / 9600.0;
} // namespace

SupplyLink::SupplyLink(BenchState& state, BenchUi& ui, Clock& clock, Transport& port)
    : st_(state), ui_(ui), clock_(clock), port_(port)
{
    port_.setActivityCallback([this] { clock_.wake(); });
}

QString SupplyLink::SendCommand(const QString& command, const QString& data, int count, double timeout)
{
    // A handler running inside a wait must not put its bytes between another frame and its
    // reply: the nested exchange is refused and reads as silence.
    if (busy_)
        return QString();
    return exchange(command, data, count, timeout);
}

void SupplyLink::portLost()
{
    if (lost_)
        return;
    lost_ = true;
    if (port_.isOpen())
        port_.close();
    const QString why = QStringLiteral("lost (cable or USB adapter pulled?); nothing more is sent to it.");
    if (trace_)
        trace_->note("supply", "port " + why.toLatin1());
    ui_.messageBox(QStringLiteral("Supply port %1 %2").arg(port_.portName(), why));
}

void SupplyLink::SendEnds()
{
    exchange(QStringLiteral("ENDS"), QString(), 3, 0.2);
}

QString SupplyLink::exchange(const QString& command, const QString& data, int count, double timeout)
{
    const bool outer = !busy_;
    // An outer exchange frees the line when it ends; the close sequence's ENDS inside one leaves it held.
    const QScopedValueRollback<bool> hold(busy_, true);

    if (port_.isOpen())
        lost_ = false; // opened again on purpose (a port chosen anew)
    // A port that went away mid-run, under an exchange or between two, is not reopened behind
    // the operator's back: what the unit holds after it came back is unknown.
    else if (port_.gone()) {
        portLost();
        return QString();
    } else if (lost_ || !port_.open()) {
        return QString();
    } else if (const QString advice = port_.lineAdvice(); !advice.isEmpty() && advice != advised_) {
        advised_ = advice; // once, not at every reopen
        ui_.note(QStringLiteral("Supply port ") + advice);
    }
    if (resync_ && outer)
        drain();
    port_.discard();
    port_.expect(count);
    const double start = clock_.now();
    const QByteArray frame = (command + QStringLiteral("00") + data + u'\r').toLatin1();
    if (trace_)
        trace_->sent("supply", frame);
    if (!port_.write(frame)) {
        if (trace_)
            trace_->received("supply", QByteArray());
        portLost();
        return QString();
    }

    const double deadline = start + timeout;
    // A port that can tell when the reply should be whole is left alone until then: its bytes
    // wake nobody on their way in, and one read takes them.
    if (const double whole = port_.lookAfter(); whole > 0)
        clock_.waitUntil(std::min(start + whole, deadline), [&] { return st_.StopFlag; });
    clock_.waitUntil(deadline, [&] { return st_.StopFlag || !port_.isOpen() || port_.bytesAvailable() >= count; });
    if (st_.StopFlag)
        endOnStop();

    const QByteArray reply = port_.isOpen() ? port_.readAll() : QByteArray();
    if (trace_)
        trace_->received("supply", reply);
    if (!port_.isOpen())
        portLost();
    if (reply.size() < count)
        replyLost();
    const QString text = QString::fromLatin1(reply);
    if (command == QLatin1String("SEEP"))
        noteWrite(data, text);
    return text;
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

void SupplyLink::drain()
{
    resync_ = false;
    const double limit = clock_.now() + LongestReplyTime;
    QByteArray dropped = port_.readAll();
    while (clock_.now() < limit) {
        const double quietUntil = std::min(clock_.now() + QuietTime, limit);
        const bool more =
            clock_.waitUntil(quietUntil, [&] { return st_.StopFlag || !port_.isOpen() || port_.bytesAvailable() > 0; });
        if (st_.StopFlag)
            endOnStop();
        if (!more || !port_.isOpen())
            break;
        dropped += port_.readAll();
    }
    if (trace_ && !dropped.isEmpty())
        trace_->received("supply", dropped);
}

void SupplyLink::endOnStop()
{
    // The port and the trace close as the program unwinds.
    ui_.endProgram(0);
}

void SupplyLink::Delay(double seconds)
{
    clock_.waitUntil(clock_.now() + seconds, [&] { return st_.AbortFlag || st_.StopFlag; });
    if (st_.StopFlag)
        endOnStop();
}

SupplyLink::RatingReply SupplyLink::readRating()
{
    const QString r = SendCommand(QStringLiteral("GMAX"), QString(), 9, 0.2);
    RatingReply out;
    out.answered = !r.isEmpty();
    // A reply cut short, padded or with a non-digit gives no rating, the same as one without "OK".
    out.figures = GmaxReply::Parse(r);
    return out;
}

void SupplyLink::ReadSerialNumber()
{
    ui_.setBusy(true);
    if (port_.isOpen())
        port_.close();
    const QString reply = ReadImage();

    QString serial;
    if (reply.size() >= image::Minimum) {
        for (int row = image::SerialRow; row < image::Rows; ++row)
            serial += image::SerialChars(image::Row(reply, row));
        st_.AsFoundImage = reply.left(image::Length);
    }
    st_.SerialNo = serial;
    ui_.setSerialBox(serial);
    st_.SerialNoEdit = serial;
    ui_.setBusy(false);
}

QString SupplyLink::ReadImage()
{
    const QString reply = SendCommand(QStringLiteral("GEEP"), QString(), image::Length, 2.0);
    if (!shadow_.known())
        shadow_.load(reply.left(image::Length));
    return reply;
}

SupplyLink::RowReadOutcome SupplyLink::ReadEepRow()
{
    const QString row = num::Digits(st_.CurRow, 3);
    QString differing;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const QString reply = SendCommand(QStringLiteral("GEEP"), row, image::RowLength, 0.1);
        Delay(0.1);
        // Exactly eight nibble characters are a row. Anything else (short, garbled, the digits
        // of a display reading that came late) is read again.
        if (!nibble::IsNibbles(reply, image::RowLength)) {
            replyLost();
            continue;
        }
        // Eight valid characters can still carry a nibble changed on the line; written back,
        // the noise would land in the other cells of the row.
        if (!shadow_.agrees(st_.CurRow, reply)) {
            differing = reply;
            if (trace_)
                trace_->note("supply", QStringLiteral("row %1 read %2, expected %3: read again")
                                           .arg(row, image::RowLine(st_.CurRow, reply).mid(4),
                                                shadow_.expected(st_.CurRow))
                                           .toLatin1());
            continue;
        }
        shadow_.settle(st_.CurRow, reply);
        for (int i = 1; i <= 4; ++i) {
            st_.RowRead[i] = reply.mid(2 * i - 2, 2);
            st_.RowCells[i] = st_.RowRead[i];
        }
        return RowReadOutcome::Read;
    }
    if (differing.isEmpty())
        return RowReadOutcome::NoReply;
    mismatch_ = QStringLiteral("EEPROM row %1 reads %2 but should hold %3; nothing was written to it. "
                               "Check the cable and the unit.")
                    .arg(row, image::RowLine(st_.CurRow, differing).mid(4), shadow_.expected(st_.CurRow));
    if (trace_)
        trace_->note("supply", mismatch_.toLatin1());
    return RowReadOutcome::Mismatch;
}

SupplyLink::RowWrite SupplyLink::writeRow(int row, const QString& cells, int attempts, double timeout)
{
    // The supply ends its "OK" with a carriage return; waiting for that too keeps it out of the
    // reply to the next row, where it would hide that row's "OK".
    QString reply;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        reply = SendCommand(QStringLiteral("SEEP"), num::Digits(row, 3) + cells, 3, timeout);
        if (reply.startsWith(QLatin1String("OK")))
            return RowWrite::Confirmed;
    }
    return reply.isEmpty() ? RowWrite::Silent : RowWrite::Unconfirmed;
}

void SupplyLink::writeRowOnce(int row, const QString& cells)
{
    SendCommand(QStringLiteral("SEEP"), num::Digits(row, 3) + cells, 2, 0.2);
}

void SupplyLink::openSession()
{
    SendCommand(QStringLiteral("SESS"), QString(), 3, 0.2);
}

bool SupplyLink::setVoltage(double volts, double timeout)
{
    return !SendCommand(QStringLiteral("VOLT"), num::Digits(volts * 10, 3), 2, timeout).isEmpty();
}

bool SupplyLink::setCurrent(double amps, double timeout)
{
    return !SendCommand(QStringLiteral("CURR"), num::Digits(amps * 100, 3), 2, timeout).isEmpty();
}

void SupplyLink::switchOutput(bool on)
{
    SendCommand(QStringLiteral("SOUT"), on ? QStringLiteral("1") : QStringLiteral("0"), 3, 0.2);
}

std::optional<DisplayReading> SupplyLink::ReadDisplay(bool* silent)
{
    const QString reply = SendCommand(QStringLiteral("GETD"), QString(), 12, 0.1);
    if (silent)
        *silent = reply.isEmpty();
    const std::optional<DisplayReading> reading = DisplayReading::Parse(reply);
    if (!reading)
        replyLost();
    return reading;
}

void SupplyLink::WaitOutputLow(bool isCurrent)
{
    const double start = clock_.now();
    double limit;
    if (isCurrent) {
        setCurrent(1.0, 0.2);
        limit = 1.1;
    } else {
        setVoltage(1.0);
        limit = 1.2;
    }
    while (clock_.now() - start < 6.0) {
        Delay(0.1);
        // Lenient on purpose: this only waits, and a reading it misreads costs one more poll.
        QString reply = SendCommand(QStringLiteral("GETD"), QString(), 12, 0.2);
        if (reply.isEmpty())
            reply = SendCommand(QStringLiteral("GETD"), QString(), 12, 0.2);
        const double value = isCurrent ? num::Leading(reply.mid(4, 4)) / 1000.0 : num::Leading(reply.mid(0, 4)) / 100.0;
        Delay(0.1);
        if (value > 0 && value < limit)
            break;
    }
}

} // namespace psucal
