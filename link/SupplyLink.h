#pragma once

#include <QString>

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

    // Whole image ("GEEP", 1443 characters): SerialNo, SerialNoEdit, the serial box, and
    // the as-found image kept for the backup.
    void ReadSerialNumber();

    // Row CurRow into RowRead/RowCells. False when four reads came back short or malformed:
    // the buffers then still hold another row's cells and must not be written back.
    bool ReadEepRow();

    // Programs a low output and waits (at most 6 s) until the display shows it.
    void WaitOutputLow(bool isCurrent);

    // The close sequence's "ENDS": sent even while another exchange is waiting.
    void SendEnds();

private:
    QString exchange(const QString& command, const QString& data, int count, double timeout);
    [[noreturn]] void endOnStop();

    BenchState& st_;
    BenchUi& ui_;
    Clock& clock_;
    Transport& port_;
    Trace* trace_ = nullptr;
    bool busy_ = false;
};

} // namespace psucal
