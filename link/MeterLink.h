#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

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

    // Sends `command` and returns the reading that comes back, sign and all, or nothing when no
    // complete reading came within `timeout` seconds (a silent or overloaded meter, a reading cut
    // short). `count` is the fewest characters a reading has. A reading of 0 is looked past for
    // the rest of the time-out. The wait ends on a whole line, the time-out or StopFlag; a raised
    // AbortFlag only stops further looking once a line has been read. A reading that is missing
    // or malformed is asked for again, up to Retries more times; an overload is not.
    std::optional<double> ReadMeter(const QString& command, int count, double timeout);
    // The line the last reading came in, as the meter sent it; empty when there was none.
    const QByteArray& lastReply() const { return lastReply_; }

    // A set-up command, which the meter does not answer: the link still listens for `timeout`
    // seconds, so that a stray line cannot be taken for the next reading.
    void send(const QString& command, double timeout);


    // What one reply line holds: blanks and the line end around it are ignored. A reading has
    // the instrument's one shape (+1.23456789E+00); the overload value 9.9E37 is the meter
    // saying it cannot measure; anything else is a line that went wrong on its way.
    struct Line {
        enum class Kind { Malformed, Overload, Reading };
        Kind kind = Kind::Malformed;
        double value = 0;
    };
    static Line Classify(const QByteArray& line);
    // The reading a line holds; nothing for an overload or a malformed line.
    static std::optional<double> ParseReading(const QByteArray& line);

    // The meter's answer to *IDN? ("MAKER,MODEL,SERIAL,FIRMWARE"), without its line end; empty
    // when no whole line came within `timeout` seconds or the port cannot be opened.
    QString Identify(double timeout = 1.0);

private:
    struct Heard {
        enum class Outcome { Lost, Overload, Reading };
        Outcome outcome = Outcome::Lost;
        std::optional<double> reading;
        bool silent = true; // not a character came back
    };
    // One command line out, and what came back within `timeout`.
    Heard listen(const QString& command, int count, double timeout);
    [[noreturn]] void endOnStop();
    bool openPort();

    BenchState& st_;
    BenchUi& ui_;
    Clock& clock_;
    Transport& port_;
    Trace* trace_ = nullptr;
    bool busy_ = false;
    bool dead_ = false; // every try of a reading went unanswered: no repeats until one comes
    QByteArray lastReply_;
    QString advised_; // what the operator was last told about the line
};

} // namespace psucal
