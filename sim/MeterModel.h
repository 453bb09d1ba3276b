#pragma once

#include "sim/Answer.h"
#include "sim/FaultPlan.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <random>

namespace psucal::sim {

class SupplyModel;

// The HP 34401A on its RS-232 port, DC volts only: SCPI lines in (ended by LF), answers out
// (ended by CR LF). No I/O and no clock; the host carries out each answer's delay, which
// includes the time the reading takes.
//
// It measures what the supply puts on its terminals, or, while they are shorted, the voltage
// over the 1 mOhm shunt in the short. A reading is rounded to the configured resolution after
// the meter's own seeded noise is added: a few counts of that resolution either way, so
// repeated readings of one input scatter; an ideal meter's noise stays within a tenth of a
// count and vanishes in the rounding.
//
// A reading takes 10 ms plus twice the integration time at 50 Hz mains (auto-zero on); the
// integration follows the resolution asked for, relative to the range:
//   resolution / range   1e-4   1e-5   3e-6   1e-6   3e-7
//   power-line cycles    0.02   0.2    1      10     100
// so 0.01 V on the 100 V range reads in 11 ms and 1 uV on the 1 V range in 410 ms.
class MeterModel {
public:
    // 9600 baud, 8 data bits, no parity, 2 stop bits.
    static constexpr double CharTime = 11.0 / 9600;
    static constexpr double ShuntOhms = 0.001;
    static constexpr double Overload = 9.9e37;
    static constexpr char Identity[] = "HEWLETT-PACKARD,34401A,0,11-5-2";

    explicit MeterModel(const SupplyModel& supply, quint32 seed = 1, bool ideal = false);

    // Buffers the bytes and answers every line they complete, one Answer per line (an empty
    // one where the meter sends nothing).
    QList<Answer> receive(const QByteArray& bytes);

    // A rule whose word is METER (every line) or a query header such as READ?; false, with
    // the reason, for anything else.
    bool addFault(const QString& text, QString* error = nullptr);

    bool remote() const { return remote_; }
    double range() const { return range_; } // 0: autorange
    double resolution() const;              // at the present range
    double readingTime() const;             // seconds, without the line's own time
    double input() const;                   // what the terminals see now, in volts
    const QStringList& lines() const { return lines_; }

    // "+1.20000000E+01": sign, nine significant digits, two-digit exponent.
    static QByteArray FormatReading(double value);

private:
    QByteArray answer(const QByteArray& header, const QByteArray& params, const QList<FaultRule>& fired, double& delay);
    QByteArray reading(const QList<FaultRule>& fired, double& delay);
    bool configure(const QByteArray& params);
    void queue(const char* error);
    void reset();

    const SupplyModel& supply_;
    std::mt19937 noise_;
    double noiseCounts_; // the widest the noise reaches, in counts of the resolution
    FaultPlan faults_;
    QByteArray pending_;
    QStringList lines_;
    QList<QByteArray> errors_;
    bool remote_ = false;
    double range_ = 0;
    int integration_ = 0;
};

} // namespace psucal::sim
