#pragma once

#include <QString>

#include <optional>

namespace psucal {

// The supply's rating, from a "GMAX" reply.
struct GmaxReply {
    int volts10 = 0; // in 0.1 V
    int amps100 = 0; // in 0.01 A

    // Exactly nine characters: three digits of 0.1 V, three of 0.01 A, one that carries nothing
    // for us, then "OK". A reply cut short, padded or with a non-digit is no rating.
    static std::optional<GmaxReply> Parse(const QString& reply);
};

} // namespace psucal
