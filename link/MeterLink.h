#pragma once

#include <QString>

namespace psucal {

class BenchUi;
class Clock;
class Trace;
class Transport;
struct BenchState;

// The HP 34401A on the second port: one SCPI line out (ended by LF), at most one reading back.
class MeterLink {
public:
    MeterLink(BenchState& state, BenchUi& ui, Clock& clock, Transport& port);

    void setTrace(Trace* trace) { trace_ = trace; }
    Transport& port() { return port_; }

    // Sends `command` and returns the absolute value of the reading that comes back, or -1
    // when no complete reading came within `timeout` seconds (set-up commands, a silent or
    // overloaded meter, a reading cut short). `count` is the fewest characters a reading has.
    // The wait ends on a whole line, the time-out or StopFlag; a raised AbortFlag only stops
    // further looking once a line has been read.
    double ReadMeter(const QString& command, int count, double timeout);

    // The meter's answer to *IDN? ("MAKER,MODEL,SERIAL,FIRMWARE"), without its line end; empty
    // when no whole line came within `timeout` seconds or the port cannot be opened.
    QString Identify(double timeout = 1.0);

    // The number in one reply line, or -1: blanks and the line end around it are ignored;
    // anything that is not a whole SCPI number, and the overload value 9.9E37, is no reading.
    static double ParseReading(const QByteArray& line);

private:
    [[noreturn]] void endOnStop();

    BenchState& st_;
    BenchUi& ui_;
    Clock& clock_;
    Transport& port_;
    Trace* trace_ = nullptr;
    bool busy_ = false;
};

} // namespace psucal
