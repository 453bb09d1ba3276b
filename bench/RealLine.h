#pragma once

#include "core/RealClock.h"
#include "link/SerialTransport.h"

namespace psucal::bench {

// The real clock and both serial ports with the program's line settings.
struct RealLine {
    ~RealLine();

    RealClock clock;
    SerialTransport supplyPort{SerialTransport::Settings{9600, QSerialPort::OneStop, 2048}};
    SerialTransport meterPort{SerialTransport::Settings{9600, QSerialPort::TwoStop, 1024}};
};

} // namespace psucal::bench
