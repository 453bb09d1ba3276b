#include "cal/ModelTables.h"

#include "cal/Failure.h"
#include "core/BenchState.h"

#include <array>

namespace psucal::cal {

bool SweepTable::passedOver(int row, int cell) const
{
    const int at = CellRef{row, cell}.ordinal();
    return at < firstAdjusted.ordinal() || at > lastAdjusted.ordinal();
}

int SweepTable::cellsAdjusted() const
{
    return lastAdjusted.ordinal() - firstAdjusted.ordinal() + 1;
}

const Quantity VoltageQuantity{
    .letter = 'V',
    .command = "VOLT",
    .setDecimals = 1,
    .frameScale = 10,
    .cellScale = 100,
    .errorDecimals = 2,
    .biasBase = 0.02,
    .retrigger = 0.1,
    .smallStep = 0.01,
    .roundBeforeBias = false,
    .shown = &DisplayReading::volts,
    .pauseAfterFirstRead = 0,
    .guardsOpenTerminals = false,
    .windowLow = &BenchState::RigorDnV,
    .windowHigh = &BenchState::RigorUpV,
    .fail = FailCalV,
};

const Quantity CurrentQuantity{
    .letter = 'C',
    .command = "CURR",
    .setDecimals = 2,
    .frameScale = 100,
    .cellScale = 1000,
    .errorDecimals = 3,
    .biasBase = 0.004,
    .retrigger = 0.01,
    .smallStep = 0.001,
    .roundBeforeBias = true,
    .shown = &DisplayReading::amps,
    .pauseAfterFirstRead = 0.1,
    .guardsOpenTerminals = true,
    .windowLow = &BenchState::RigorDnC,
    .windowHigh = &BenchState::RigorUpC,
    .fail = FailCalC,
};

namespace {

// Set points are (rowStep * row + cellStep * cell + offset) / 100, in volts or amperes.
const std::array<ModelTable, 3> Models{{
    {
        .name = QStringLiteral("20V/10A"),
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
    },
    {
        .name = QStringLiteral("40V/5A"),
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
    },
    {
        .name = QStringLiteral("60V/3.3A"),
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
    },
}};

} // namespace

const ModelTable* ModelAt(int model)
{
    if (model < 0 || model >= static_cast<int>(Models.size()))
        return nullptr;
    return &Models[static_cast<size_t>(model)];
}

} // namespace psucal::cal
