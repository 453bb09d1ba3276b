#pragma once

#include "sim/InProcessPort.h"
#include "sim/SupplyModel.h"

#include <QStringList>

#include <cstdio>
#include <functional>

namespace psucal::test {

// A stand-in HP 34401A: once ":SYST:REM" has come, ":READ?" is answered with the simulated
// supply's true output (the voltage over a 1 mOhm shunt while its terminals are shorted), as
// the meter writes it: "+1.20000000E+01" and CR LF.
struct TestMeter {
    explicit TestMeter(const sim::SupplyModel& s) : supply(s) {}

    sim::InProcessPort::Responder responder()
    {
        return [this](const QByteArray& line) {
            commands << QString::fromLatin1(line.trimmed());
            if (line.startsWith(":SYST:REM"))
                remote = true;
            else if (line.startsWith(":SYST:LOC"))
                remote = false;
            if (!line.startsWith(":READ?") || !remote || silent)
                return QList<sim::Answer>{};
            if (onRead)
                onRead();
            const sim::SupplyModel::Output out = supply.trueOutput();
            const double value = (supply.shorted() ? out.amps * 0.001 : out.volts) + offset;
            char text[32];
            std::snprintf(text, sizeof text, "%+.8E\r\n", value);
            return QList<sim::Answer>{sim::Answer{QByteArray(text)}};
        };
    }

    const sim::SupplyModel& supply;
    bool remote = false;
    bool silent = false;
    double offset = 0;            // added to every reading, in volts
    std::function<void()> onRead; // before each reading is taken
    QStringList commands;
};

} // namespace psucal::test
