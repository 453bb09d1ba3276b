#pragma once

#include "link/DisplayReading.h"
#include "link/EepromShadow.h"
#include "link/GmaxReply.h"

#include <QString>

#include <optional>

namespace psucal {

class BenchUi;
class Clock;
class Trace;
class Transport;
struct BenchState;

// The supply's command protocol on the first port: frames, reply waits, EEPROM row and
// image reads, and the responsive Delay every procedure uses between commands.
class SupplyLink {
public:
    SupplyLink(BenchState& state, BenchUi& ui, Clock& clock, Transport& port);

    void setTrace(Trace* trace) { trace_ = trace; }
    Transport& port() { return port_; }
    Clock& clock() { return clock_; }

    // Sends command & "00" & data & CR and returns what arrived once `count` characters are
    // in or `timeout` seconds have passed: "" on silence or a port error.
    QString SendCommand(const QString& command, const QString& data, int count, double timeout);

    // Pauses, keeping the window live; ends early once AbortFlag is raised.
    void Delay(double seconds);

    // What the procedures ask of the supply, one exchange each. The set calls program 0.1 V or
    // 0.01 A steps (the value is rounded to them) and return whether the supply answered at all.
    void openSession();
    bool setVoltage(double volts, double timeout = 0.1);
    bool setCurrent(double amps, double timeout = 0.1);
    // On before the voltage procedures, off before the current ones (the terminals get shorted).
    void switchOutput(bool on);

    struct RatingReply {
        bool answered = false;            // anything came back at all
        std::optional<GmaxReply> figures; // nothing: no valid rating
    };
    RatingReply readRating();

    // Whole image ("GEEP", 1443 characters): SerialNo, SerialNoEdit, the serial box, and
    // the as-found image kept for the backup.
    void ReadSerialNumber();

    enum class RowReadOutcome { Read, NoReply, Mismatch };
    // Row CurRow into RowRead/RowCells. Up to four reads; one counts when it is exactly eight
    // nibble characters that agree with the shadow. NoReply or Mismatch: the buffers still hold
    // another row's cells and must not be written back. Mismatch (some read came back whole
    // but differed from what the unit should hold) is said in the trace and rowMismatch().
    RowReadOutcome ReadEepRow();
    // Why the last row read ended in Mismatch, or a correction was not settled, for the operator.
    const QString& rowMismatch() const { return mismatch_; }

    // What the unit's EEPROM holds as far as this program knows. Every SEEP updates it (a
    // confirmed write for certain, one without "OK" as a maybe); whole-image reads load it.
    EepromShadow& shadow() { return shadow_; }

    // Whole image ("GEEP" without a row, 1443 characters, 2 s); the first complete one a unit
    // gives is also its shadow. "" or a short reply when the supply did not send it whole.
    QString ReadImage();

    // "GETD" with the procedures' 0.1 s time-out, read strictly; nullopt when the reply is
    // missing or not a display reading (see DisplayReading::Parse). `silent`, when given, tells
    // whether nothing came back at all.
    std::optional<DisplayReading> ReadDisplay(bool* silent = nullptr);

    enum class RowWrite { Confirmed, Unconfirmed, Silent };
    // The row's eight nibble characters, sent up to `attempts` times until the supply confirms
    // them (with Retries, a row read back with these cells confirms them too); Silent when the
    // last try got no answer at all.
    RowWrite writeRow(int row, const QString& cells, int attempts, double timeout);
    // The adjustment loop's write of `cells` over the row's `old` cells, not waited for past
    // "OK". Without its "OK" (and Retries above 0) the row is read back: the new cells confirm
    // it, the old ones send it again. Silent: the row could not be read back whole; Unconfirmed:
    // it still held the old cells after every try, or something else. Either way nothing more
    // is written to it, and rowMismatch() says why.
    RowWrite writeCorrection(int row, const QString& cells, const QString& old);

    // Programs a low output and waits (at most 6 s) until the display shows it.
    void WaitOutputLow(bool isCurrent);

    // The close sequence's "ENDS": sent even while another exchange is waiting.
    void SendEnds();

    // After a lost reply the line counts as settled once it has been quiet this long.
    static constexpr double QuietTime = 0.02;

private:
    QString exchange(const QString& command, const QString& data, int count, double timeout);
    // Whether a reply has its command's whole shape (see ReplyShape.h).
    using Shape = bool (*)(const QString&);
    // One exchange, asked again up to Retries more times while its reply is not `whole`; the
    // last reply either way.
    QString ask(const QString& command, const QString& data, int count, double timeout, Shape whole);
    static const char* Why(bool late, const QString& reply, int count);
    // How long the line must be quiet before a frame whose reply went wrong is asked again.
    static double quietAfter(const QString& reply, double timeout);
    // Counts a repeat of `frame` (n of `of`), notes it in the trace and tells the front end.
    void askedAgain(const QString& frame, const char* why, int n, int of, bool traced = true);
    // Row `row` read up to four times until a read is eight nibble characters that agree with
    // the shadow; nothing otherwise, with the last read that disagreed in `differing`.
    std::optional<QString> readAgreeing(int row, QString* differing);
    // A row whose reads all disagreed with the shadow, said in rowMismatch() and the trace.
    void disagreed(int row, const QString& differing);
    // A reply lost to its time-out, or read as malformed, may still be on its way or half
    // there: the line is drained before the next frame so that it cannot pass for that
    // frame's answer.
    void replyLost() { resync_ = true; }
    // Returns whether anything was still coming.
    bool drain(double quiet = QuietTime);
    // The port closed under a running exchange (device gone): said once, and not reopened.
    void portLost();
    [[noreturn]] void endOnStop();

    BenchState& st_;
    BenchUi& ui_;
    Clock& clock_;
    Transport& port_;
    Trace* trace_ = nullptr;
    void noteWrite(const QString& data, const QString& reply);

    bool busy_ = false;
    bool resync_ = false; // drain the line before the next frame
    bool wary_ = false;   // the line was just drained: the next reply must stand alone
    bool lost_ = false;   // the port went away; nothing is sent until it is opened anew
    bool dead_ = false;   // every try of an exchange went unanswered: no repeats until one is
    QString advised_;     // what the operator was last told about the line
    EepromShadow shadow_;
    QString mismatch_;
};

} // namespace psucal
