#pragma once

#include "sim/SupplyModel.h"

#include <QByteArray>

namespace psucal::sim::test {

// Sends one frame (command, "00", data, CR) and returns what the unit answers.
inline QByteArray Ask(SupplyModel& model, const QByteArray& command, const QByteArray& data = QByteArray())
{
    QByteArray out;
    for (const Answer& a : model.receive(command + "00" + data + '\r'))
        out += a.bytes;
    return out;
}

inline SupplyConfig Unit(int ratingV, quint32 seed = 1)
{
    SupplyConfig c;
    c.ratingV = ratingV;
    c.seed = seed;
    return c;
}

} // namespace psucal::sim::test
