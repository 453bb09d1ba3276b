#include "cal/ModelTables.h"

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

const Quantity VoltageQuantity{'V', "VOLT", 1, 10, 100, 2, 0.02, 0.1, 0.01, false, 0, 100};
const Quantity CurrentQuantity{'C', "CURR", 2, 100, 1000, 3, 0.004, 0.01, 0.001, true, 4, 1000};

namespace {

// clang-format off
const std::array<ModelTable, 3> Models{{
    {QStringLiteral("20V/10A"),
     {59, 83, 80, 20, -4660, {59, 2}, {83, 2}, std::nullopt, 100, 1.0, 0.67},
     {110, 141, 32, 8, -3528, {110, 2}, {141, 1}, std::nullopt, 128, 0.2, 0.05}},
    {QStringLiteral("40V/5A"),
     {59, 108, 80, 20, -4660, {59, 2}, {108, 3}, std::nullopt, 200, 1.0, 0.67},
     {110, 141, 16, 4, -1764, {110, 2}, {141, 3}, std::nullopt, 128, 0.5, 0.067}},
    // The 60 V unit's top cell would stand for 60.2 V, beyond what the unit can put out.
    {QStringLiteral("60V/3.3A"),
     {58, 95, 160, 40, -9300, {58, 3}, {95, 3}, CellRef{95, 3}, 152, 0.25, 0.67},
     {110, 131, 16, 4, -1764, {110, 2}, {131, 2}, std::nullopt, 88, 0.5, 0.067}},
}};
// clang-format on

} // namespace

const ModelTable* ModelAt(int model)
{
    if (model < 0 || model >= static_cast<int>(Models.size()))
        return nullptr;
    return &Models[static_cast<size_t>(model)];
}

} // namespace psucal::cal
