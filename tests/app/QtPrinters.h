#pragma once

#include <QString>

#include <ostream>

// Readable gtest failure messages for Qt strings (and, element by element, string lists).
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
