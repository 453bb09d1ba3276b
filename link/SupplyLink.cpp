#include "link/SupplyLink.h"

#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/Clock.h"
#include "core/Numbers.h"
#include "link/EepromImage.h"
#include "link/LineRecovery.h"
#include "link/Nibble.h"
#include "link/ReplyShape.h"
#include "link/Trace.h"
#include "link/Transport.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <utility>

namespace psucal {

namespace {
// A line that keeps talking counts as settled after the time the longest reply takes at 9600 baud.
constexpr double LongestReplyTime = image::Length * 10 / 9600.0;
// Three characters at 9600 baud: a reply that goes on longer than this after its last expected
// character is not followed by more.
constexpr double AloneTime = 3 * 10 / 9600.0;
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
    // The close sequence's ENDS is the last frame: code that goes on after a box the stop closed
    // must not write to the unit.
    if (st_.StopFlag)
        endOnStop();
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
    const bool wary = std::exchange(wary_, false) && outer;
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
    // Right after trouble on the line a reply must also stand alone: one that runs on past its
    // length is a late answer to an earlier frame with this one's behind it, and neither counts.
    if (wary)
        for (qint64 have = port_.bytesAvailable(); !st_.StopFlag && port_.isOpen() && have >= count;) {
            const double until = std::min(clock_.now() + AloneTime, deadline);
            if (!clock_.waitUntil(until, [&] { return st_.StopFlag || !port_.isOpen() || port_.bytesAvailable() > have; }))
                break;
            have = port_.bytesAvailable();
        }
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


bool SupplyLink::drain(double quiet)
{
    resync_ = false;
    wary_ = true;
    const QByteArray dropped =
        recovery::Drain(clock_, port_, quiet, LongestReplyTime, [this] { return st_.StopFlag; });
    if (st_.StopFlag)
        endOnStop();
    if (trace_ && !dropped.isEmpty())
        trace_->received("supply", dropped);
    return !dropped.isEmpty();
}

QString SupplyLink::ask(const QString& command, const QString& data, int count, double timeout, Shape whole)
{
    if (busy_)
        return QString();
    // A line that has gone dead costs its repeats once, not at every exchange after.
    const int extra = dead_ ? 0 : std::max(0, st_.Retries);
    QString reply;
    bool silent = true;
    for (int attempt = 0;; ++attempt) {
        reply = exchange(command, data, count, timeout);
        if (whole(reply)) {
            dead_ = false;
            return reply;
        }
        replyLost();
        silent = silent && reply.isEmpty();
        // A port that would not open, or went away, has no answer to ask again for.
        if (lost_ || !port_.isOpen() || attempt == extra)
            break;
        const bool late = drain(quietAfter(reply, timeout));
        askedAgain(command + data, Why(late, reply, count), attempt + 1, extra);
    }
    if (silent && extra > 0 && port_.isOpen())
        dead_ = true;
    return reply;
}

double SupplyLink::quietAfter(const QString& reply, double timeout)
{
    return recovery::QuietBeforeRepeat(reply.isEmpty(), timeout, QuietTime);
}

const char* SupplyLink::Why(bool late, const QString& reply, int count)
{
    if (late)
        return "reply late";
    if (reply.isEmpty())
        return "no reply";
    return reply.size() < count ? "reply short" : "reply malformed";
}

void SupplyLink::askedAgain(const QString& frame, const char* why, int n, int of, bool traced)
{
    recovery::AskedAgain(st_, ui_, trace_, "supply", frame, why, n, of, traced);
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
    const QString r = ask(QStringLiteral("GMAX"), QString(), 9, 0.2, reply::Rating);
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
    const QString reply = ask(QStringLiteral("GEEP"), QString(), image::Length, 2.0, reply::Image);
    if (!shadow_.known())
        shadow_.load(reply.left(image::Length));
    return reply;
}

void SupplyLink::openSession()
{
    ask(QStringLiteral("SESS"), QString(), 3, 0.2, reply::Acknowledged3);
}

bool SupplyLink::setVoltage(double volts, double timeout)
{
    return !ask(QStringLiteral("VOLT"), num::Digits(volts * 10, 3), 2, timeout, reply::SetPointTaken).isEmpty();
}

bool SupplyLink::setCurrent(double amps, double timeout)
{
    return !ask(QStringLiteral("CURR"), num::Digits(amps * 100, 3), 2, timeout, reply::SetPointTaken).isEmpty();
}

void SupplyLink::switchOutput(bool on)
{
    ask(QStringLiteral("SOUT"), on ? QStringLiteral("1") : QStringLiteral("0"), 3, 0.2, reply::Acknowledged3);
}

std::optional<DisplayReading> SupplyLink::ReadDisplay(bool* silent)
{
    const QString reply = ask(QStringLiteral("GETD"), QString(), 12, 0.1, reply::Display);
    if (silent)
        *silent = reply.isEmpty();
    return DisplayReading::Parse(reply);
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
        // A line already found dead is not polled for six seconds more.
        if (dead_ && reply.isEmpty())
            break;
        const double value = isCurrent ? num::Leading(reply.mid(4, 4)) / 1000.0 : num::Leading(reply.mid(0, 4)) / 100.0;
        Delay(0.1);
        if (value > 0 && value < limit)
            break;
    }
}

} // namespace psucal
