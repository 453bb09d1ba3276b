#include "link/MeterLink.h"

#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/Clock.h"
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
} // namespace

MeterLink::MeterLink(BenchState& state, BenchUi& ui, Clock& clock, Transport& port)
    : st_(state), ui_(ui), clock_(clock), port_(port)
{
    port_.setActivityCallback([this] { clock_.wake(); });
}

std::optional<double> MeterLink::ParseReading(const QByteArray& line)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    // Only ASCII blanks surround a reading; a byte like 0xA0 is line noise, not padding.
    const QString text = QString::fromLatin1(line.trimmed());
    if (!number.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) >= Overload)
        return std::nullopt;
    return value;
}

void MeterLink::send(const QString& command, double timeout)
{
    // Whatever might come back is at least one character and its line end.
    ReadMeter(command, 2, timeout);
}

std::optional<double> MeterLink::ReadMeter(const QString& command, int count, double timeout)
{
    lastReply_.clear();
    // A handler running inside a wait must not put a command between another one and its reading.
    if (busy_)
        return std::nullopt;
    const QScopedValueRollback<bool> hold(busy_, true);

    if (!openPort())
        return std::nullopt;
    port_.discard();
    // No reading is shorter than `count`: a serial port need not wake anyone before then.
    port_.expect(count);
    const QByteArray line = command.toLatin1() + '\n';
    if (trace_)
        trace_->sent("meter", line);
    if (!port_.write(line)) {
        if (trace_)
            trace_->received("meter", QByteArray());
        return std::nullopt;
    }
    const double deadline = clock_.now() + timeout;

    std::optional<double> result;
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
        if (got.trimmed().isEmpty()) {
            result.reset();
            lastReply_.clear();
        } else if (const std::optional<double> value = ParseReading(got)) {
            result = value;
            lastReply_ = got;
        }
        if ((result && *result != 0) || st_.AbortFlag || clock_.now() >= deadline)
            break;
    }
    return result;
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
