#include "core/Rating.h"

#include <algorithm>
#include <list>

namespace psucal {

bool SweepTable::passedOver(int row, int cell) const
{
    const int at = CellRef{row, cell}.ordinal();
    return at < firstAdjusted.ordinal() || at > lastAdjusted.ordinal();
}

int SweepTable::cellsAdjusted() const
{
    return lastAdjusted.ordinal() - firstAdjusted.ordinal() + 1;
}

QString BaseRow::data() const
{
    QString out;
    for (const char* c : cells)
        out += QLatin1String(c);
    return out;
}

namespace {

// Set points are (rowStep * row + cellStep * cell + offset) / 100, in volts or amperes.
// Base row 3 holds the voltage and current limits (0.1 V, 0.01 A) as two 16-bit numbers, high
// byte first; cells 1-2 of row 7 repeat the voltage limit.
std::list<Rating> BuiltIn()
{
    return {
        {
            // 9.99 A is the most the three-digit 0.01 A field of the rating reply can carry.
            .gmaxVolts10 = 200,
            .gmaxAmps100 = 999,
            .name = QStringLiteral("20V/10A"),
            .product = QStringLiteral("QRB-1100"),
            .voltage = {.firstRow = 59,
                        .lastRow = 83,
                        .rowStep = 80,
                        .cellStep = 20,
                        .offset = -4660,
                        .firstAdjusted = {.row = 59, .cell = 2},
                        .lastAdjusted = {.row = 83, .cell = 2},
                        .atMaxV = std::nullopt,
                        .progressMax = 100,
                        .gain = 1.0,
                        .clamp = 0.67},
            .current = {.firstRow = 110,
                        .lastRow = 141,
                        .rowStep = 32,
                        .cellStep = 8,
                        .offset = -3528,
                        .firstAdjusted = {.row = 110, .cell = 2},
                        .lastAdjusted = {.row = 141, .cell = 1},
                        .atMaxV = std::nullopt,
                        .progressMax = 128,
                        .gain = 0.2,
                        .clamp = 0.05},
            .baseData = {{
                {0, {"00", "00", "00", "08"}},
                {1, {"32", "14", "?:", "04"}},
                {2, {"0:", "0:", "00", "00"}},
                {3, {"00", "<9", "03", ">7"}}, // 201, 999
                {4, {"00", "00", "00", "00"}},
                {5, {"50", "50", "01", "03"}},
                {7, {"00", "<9", "00", "00"}},
            }},
            .printsCurrentFraction = false,
            .chartAmps = 0.1,
            .sim = {.voltageGain = 1.0, .currentGain = 0.2},
        },
        {
            .gmaxVolts10 = 400,
            .gmaxAmps100 = 500,
            .name = QStringLiteral("40V/5A"),
            .product = QStringLiteral("QRB-2200"),
            .voltage = {.firstRow = 59,
                        .lastRow = 108,
                        .rowStep = 80,
                        .cellStep = 20,
                        .offset = -4660,
                        .firstAdjusted = {.row = 59, .cell = 2},
                        .lastAdjusted = {.row = 108, .cell = 3},
                        .atMaxV = std::nullopt,
                        .progressMax = 200,
                        .gain = 1.0,
                        .clamp = 0.67},
            .current = {.firstRow = 110,
                        .lastRow = 141,
                        .rowStep = 16,
                        .cellStep = 4,
                        .offset = -1764,
                        .firstAdjusted = {.row = 110, .cell = 2},
                        .lastAdjusted = {.row = 141, .cell = 3},
                        .atMaxV = std::nullopt,
                        .progressMax = 128,
                        .gain = 0.5,
                        .clamp = 0.067},
            .baseData = {{
                {0, {"00", "00", "00", "08"}},
                {1, {"64", "0:", "7=", "08"}},
                {2, {"0:", "0:", "00", "00"}},
                {3, {"01", "92", "01", "?9"}}, // 402, 505
                {4, {"00", "00", "00", "00"}},
                {5, {"50", "50", "01", "02"}},
                {7, {"01", "92", "00", "00"}},
            }},
            .printsCurrentFraction = false,
            .chartAmps = 0.05,
            .sim = {.voltageGain = 1.0, .currentGain = 0.5},
        },
        {
            .gmaxVolts10 = 600,
            .gmaxAmps100 = 330,
            .name = QStringLiteral("60V/3.3A"),
            .product = QStringLiteral("QRB-3300"),
            // The top cell would stand for 60.2 V, beyond what the unit can put out.
            .voltage = {.firstRow = 58,
                        .lastRow = 95,
                        .rowStep = 160,
                        .cellStep = 40,
                        .offset = -9300,
                        .firstAdjusted = {.row = 58, .cell = 3},
                        .lastAdjusted = {.row = 95, .cell = 3},
                        .atMaxV = CellRef{.row = 95, .cell = 3},
                        .progressMax = 152,
                        .gain = 0.25,
                        .clamp = 0.67},
            .current = {.firstRow = 110,
                        .lastRow = 131,
                        .rowStep = 16,
                        .cellStep = 4,
                        .offset = -1764,
                        .firstAdjusted = {.row = 110, .cell = 2},
                        .lastAdjusted = {.row = 131, .cell = 2},
                        .atMaxV = std::nullopt,
                        .progressMax = 88,
                        .gain = 0.5,
                        .clamp = 0.067},
            .baseData = {{
                {0, {"00", "00", "00", "08"}},
                {1, {"<8", "05", "7=", "08"}},
                {2, {"0:", "0:", "00", "00"}},
                {3, {"02", "58", "01", "54"}}, // 600, 340
                {4, {"00", "00", "00", "00"}},
                {5, {"??", "??", "02", "02"}},
                {7, {"02", "58", "00", "00"}},
            }},
            // 3.3 A is the one maximum whose fraction is worth printing.
            .printsCurrentFraction = true,
            .chartAmps = 0.05,
            .sim = {.voltageGain = 0.25, .currentGain = 0.5},
        },
    };
}

// A list, so that a row keeps its address while others come and go.
std::list<Rating>& Table()
{
    static std::list<Rating> table = BuiltIn();
    return table;
}

QStringList Column(QString (*text)(const Rating&))
{
    QStringList out;
    for (const Rating& r : Table())
        out << text(r);
    return out;
}

} // namespace

const Rating* RatingAt(int index)
{
    if (index < 0 || index >= RatingCount())
        return nullptr;
    return &*std::next(Table().begin(), index);
}

int RatingIndex(const Rating* rating)
{
    int i = 0;
    for (const Rating& r : Table()) {
        if (&r == rating)
            return i;
        ++i;
    }
    return -1;
}

int RatingCount()
{
    return static_cast<int>(Table().size());
}

const Rating* FindRating(int volts)
{
    for (const Rating& r : Table())
        if (r.volts() == volts)
            return &r;
    return nullptr;
}

QStringList RatingNames()
{
    return Column([](const Rating& r) { return r.name; });
}

QStringList RatingProducts()
{
    return Column([](const Rating& r) { return r.product; });
}

QStringList RatingVolts()
{
    return Column([](const Rating& r) { return QString::number(r.volts()); });
}

QString ListedAs(const QStringList& items, const QString& last)
{
    if (items.size() < 2)
        return items.join(QString());
    return items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + u' ' + last + u' ' + items.last();
}

const Rating& AddRating(Rating rating)
{
    return Table().emplace_back(std::move(rating));
}

void RemoveRating(const Rating& rating)
{
    Table().remove_if([&](const Rating& r) { return &r == &rating; });
}

} // namespace psucal
