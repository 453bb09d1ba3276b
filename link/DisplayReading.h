#pragma once

#include <QString>

#include <optional>

namespace psucal {

// What the supply's own display shows, from a "GETD" reply.
struct DisplayReading {
    double volts = 0;
    double amps = 0;

    // Exactly twelve characters: four digits of 0.01 V, four of 0.001 A, two that carry nothing
    // for us, then "OK". Anything else (a reply cut short, one with a character lost, line
    // noise, the tail of another reply) is no reading at all.
    static std::optional<DisplayReading> Parse(const QString& reply);
};

} // namespace psucal
