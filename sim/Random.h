#pragma once

#include <QtGlobal>

namespace psucal::sim {

// splitmix64: the same unit on every platform, unlike the standard distributions.
class Random {
public:
    explicit Random(quint64 seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x6A09E667F3BCC909ull) {}
    double uniform(double lo, double hi)
    {
        return lo + (hi - lo) * static_cast<double>(next() >> 11) / 9007199254740992.0;
    }
    int integer(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<quint64>(hi - lo + 1)); }

private:
    quint64 next()
    {
        quint64 z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    quint64 state_;
};

} // namespace psucal::sim
