#include "link/MeterLink.h"

#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/Clock.h"
#include "link/LineRecovery.h"
#include "link/Trace.h"
#include "link/Transport.h"

#include <QRegularExpression>
#include <QScopedValueRollback>

#include <algorithm>
#include <cmath>

namespace psucal {

namespace {
constexpr int Attempts = 4;
// The meter sends +9.90000000E+37 when the input is beyond its range.
constexpr double Overload = 9.9e37;
// A line that went wrong has settled once it has been quiet this long.
constexpr double QuietTime = 0.02;
} // namespace

MeterLink::MeterLink(BenchState& state, BenchUi& ui, Clock& clock, Transport& port)
    : st_(state), ui_(ui), clock_(clock), port_(port)
{
    port_.setActivityCallback([this] { clock_.wake(); });
}

MeterLink::Line MeterLink::Classify(const QByteArray& line)
{
    // The instrument always answers in one shape, sign, digit, point, eight digits, exponent:
    // a character dropped, added or changed on the line shows as another shape.
    static const QRegularExpression shape(QStringLiteral("^[+-]\\d\\.\\d{8}E[+-]\\d{2}$"));
    // Only ASCII blanks surround a reading; a byte like 0xA0 is line noise, not padding.
    const QString text = QString::fromLatin1(line.trimmed());
    if (!shape.match(text).hasMatch())
        return {};
    const double value = text.toDouble();
    if (std::fabs(value) >= Overload)
        return {Line::Kind::Overload, 0};
    return {Line::Kind::Reading, value};
}

std::optional<double> MeterLink::ParseReading(const QByteArray& line)
{
    const Line l = Classify(line);
    return l.kind == Line::Kind::Reading ? std::optional<double>(l.value) : std::nullopt;
}

void MeterLink::send(const QString& command, double timeout)
{
    lastReply_.clear();
    if (busy_)
        return;
    const QScopedValueRollback<bool> hold(busy_, true);
    // Whatever might come back is at least one character and its line end.
    listen(command, 2, timeout);
}

std::optional<double> MeterLink::ReadMeter(const QString& command, int count, double timeout)
{
    lastReply_.clear();
    // A handler running inside a wait must not put a command between another one and its reading.
    if (busy_)
        return std::nullopt;
    const QScopedValueRollback<bool> hold(busy_, true);
    // A meter that has stopped answering costs its repeats once, not at every reading after.
    const int extra = dead_ ? 0 : std::max(0, st_.Retries);
    for (int attempt = 0;; ++attempt) {
        const Heard heard = listen(command, count, timeout);
        // An overload is the meter's own answer, and so is a zero it keeps giving.
        if (heard.outcome != Heard::Outcome::Lost) {
            dead_ = false;
            return heard.reading;
        }
        if (attempt == extra || !port_.isOpen() || st_.AbortFlag) {
            if (heard.silent && extra > 0 && port_.isOpen())
                dead_ = true;
            return std::nullopt;
        }
        const QByteArray dropped = recovery::Drain(clock_, port_, recovery::QuietBeforeRepeat(heard.silent, timeout, QuietTime),
                                                   timeout, [this] { return st_.StopFlag; });
        if (st_.StopFlag)
            endOnStop();
        if (trace_ && !dropped.isEmpty())
            trace_->received("meter", dropped);
        const char* why = !dropped.isEmpty() ? "reading late" : heard.silent ? "no reading" : "reading malformed";
        recovery::AskedAgain(st_, ui_, trace_, "meter", command, why, attempt + 1, extra);
    }
}

MeterLink::Heard MeterLink::listen(const QString& command, int count, double timeout)
{
    Heard heard;
    if (st_.StopFlag)
        endOnStop();
    if (!openPort())
        return heard;
    port_.discard();
    // No reading is shorter than `count`: a serial port need not wake anyone before then.
    port_.expect(count);
    const QByteArray line = command.toLatin1() + '\n';
    if (trace_)
        trace_->sent("meter", line);
    if (!port_.write(line)) {
        if (trace_)
            trace_->received("meter", QByteArray());
        return heard;
    }
    const double deadline = clock_.now() + timeout;

    QByteArray pending;
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        // Only a line that has ended is a reading: a cut-off "+1.20000000E+0" is off by ten.
        clock_.waitUntil(deadline, [&] {
            if (st_.StopFlag || !port_.isOpen())
                return true;
            if (port_.bytesAvailable() > 0)
                pending += port_.readAll();
            return pending.size() >= count && pending.contains('\n');
        });
        if (st_.StopFlag)
            endOnStop();
        if (port_.isOpen())
            pending += port_.readAll();

        const qsizetype end = pending.indexOf('\n');
        const QByteArray got = end >= 0 ? pending.left(end + 1) : QByteArray();
        pending.remove(0, got.size());
        if (trace_ && (!got.isEmpty() || attempt == 0))
            trace_->received("meter", got);
        heard.silent = heard.silent && got.isEmpty() && pending.isEmpty();
        if (got.trimmed().isEmpty()) {
            heard.reading.reset();
            lastReply_.clear();
        } else if (const Line l = Classify(got); l.kind == Line::Kind::Reading) {
            heard.reading = l.value;
            heard.outcome = Heard::Outcome::Reading;
            lastReply_ = got;
        } else if (l.kind == Line::Kind::Overload) {
            heard.outcome = Heard::Outcome::Overload;
        } else if (st_.Retries > 0 && !heard.reading) {
            // A line that is no reading came back whole: asking again beats waiting out the time-out.
            break;
        }
        if ((heard.reading && *heard.reading != 0) || st_.AbortFlag || clock_.now() >= deadline)
            break;
    }
    return heard;
}

bool MeterLink::openPort()
{
    if (port_.isOpen())
        return true;
    if (!port_.open())
        return false;
    if (const QString advice = port_.lineAdvice(); !advice.isEmpty() && advice != advised_) {
        advised_ = advice;
        ui_.note(QStringLiteral("Meter port ") + advice);
    }
    return true;
}

QString MeterLink::Identify(double timeout)
{
    if (busy_)
        return QString();
    const QScopedValueRollback<bool> hold(busy_, true);
    if (!openPort())
        return QString();
    port_.discard();
    const QByteArray line = "*IDN?\n";
    if (trace_)
        trace_->sent("meter", line);
    QByteArray got;
    if (port_.write(line)) {
        clock_.waitUntil(clock_.now() + timeout, [&] {
            if (port_.bytesAvailable() > 0)
                got += port_.readAll();
            return st_.StopFlag || !port_.isOpen() || got.contains('\n');
        });
    }
    if (st_.StopFlag)
        endOnStop();
    if (trace_)
        trace_->received("meter", got);
    return got.contains('\n') ? QString::fromLatin1(got.left(got.indexOf('\n'))).trimmed() : QString();
}

void MeterLink::endOnStop()
{
    // The port and the trace close as the program unwinds.
    ui_.endProgram(0);
}

} // namespace psucal
