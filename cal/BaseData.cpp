#include "cal/BaseData.h"

namespace psucal::cal {

QString BaseRow::data() const
{
    QString out;
    for (const char* c : cells)
        out += QLatin1String(c);
    return out;
}

namespace {
// Row 3 holds the voltage and current limits (0.1 V, 0.01 A) as two 16-bit numbers, high byte
// first; cells 1-2 of row 7 repeat the voltage limit.
const BaseRows Model20{{
    {0, {"00", "00", "00", "08"}},
    {1, {"32", "14", "?:", "04"}},
    {2, {"0:", "0:", "00", "00"}},
    {3, {"00", "<9", "03", ">7"}}, // 201, 999
    {4, {"00", "00", "00", "00"}},
    {5, {"50", "50", "01", "03"}},
    {7, {"00", "<9", "00", "00"}},
}};

const BaseRows Model40{{
    {0, {"00", "00", "00", "08"}},
    {1, {"64", "0:", "7=", "08"}},
    {2, {"0:", "0:", "00", "00"}},
    {3, {"01", "92", "01", "?9"}}, // 402, 505
    {4, {"00", "00", "00", "00"}},
    {5, {"50", "50", "01", "02"}},
    {7, {"01", "92", "00", "00"}},
}};

const BaseRows Model60{{
    {0, {"00", "00", "00", "08"}},
    {1, {"<8", "05", "7=", "08"}},
    {2, {"0:", "0:", "00", "00"}},
    {3, {"02", "58", "01", "54"}}, // 600, 340
    {4, {"00", "00", "00", "00"}},
    {5, {"??", "??", "02", "02"}},
    {7, {"02", "58", "00", "00"}},
}};
} // namespace

const BaseRows* BaseDataOf(int model)
{
    switch (model) {
    case 0:
        return &Model20;
    case 1:
        return &Model40;
    case 2:
        return &Model60;
    default:
        return nullptr;
    }
}

} // namespace psucal::cal
