#include "link/MeterLink.h"

#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/Clock.h"
#include "link/Trace.h"
#include "link/Transport.h"

#include <QRegularExpression>
#include <QScopedValueRollback>

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

double MeterLink::ParseReading(const QByteArray& line)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    // Only ASCII blanks surround a reading; a byte like 0xA0 is line noise, not padding.
    const QString text = QString::fromLatin1(line.trimmed());
    if (!number.match(text).hasMatch())
        return -1;
    bool ok = false;
    const double value = std::fabs(text.toDouble(&ok));
    if (!ok || !std::isfinite(value) || value >= Overload)
        return -1;
    return value;
}

double MeterLink::ReadMeter(const QString& command, int count, double timeout)
{
    // A handler running inside a wait must not put a command between another one and its reading.
    if (busy_)
        return -1;
    const QScopedValueRollback<bool> hold(busy_, true);

    if (!port_.isOpen() && !port_.open())
        return -1;
    port_.discard();
    const QByteArray line = command.toLatin1() + '\n';
    if (trace_)
        trace_->sent("meter", line);
    if (!port_.write(line)) {
        if (trace_)
            trace_->received("meter", QByteArray());
        return -1;
    }
    const double deadline = clock_.now() + timeout;

    double result = -1;
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
        if (got.trimmed().isEmpty())
            result = -1;
        else if (const double value = ParseReading(got); value >= 0)
            result = value;
        if (result > 0 || st_.AbortFlag || clock_.now() >= deadline)
            break;
    }
    return result;
}

void MeterLink::endOnStop()
{
    // The port and the trace close as the program unwinds.
    ui_.endProgram(0);
}

} // namespace psucal
