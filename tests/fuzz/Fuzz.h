#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A property that does not hold ends the run, so the fuzzer keeps the input that broke it.
#define FUZZ_CHECK(cond)                                                                                               \
    do {                                                                                                               \
        if (!(cond)) {                                                                                                 \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond);                          \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (0)

namespace psucal::fuzz {

inline QByteArray Bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// Serial lines carry single bytes: each one a character, as the ports decode them.
inline QString Latin1(const uint8_t* data, size_t size)
{
    return QString::fromLatin1(Bytes(data, size));
}

} // namespace psucal::fuzz
