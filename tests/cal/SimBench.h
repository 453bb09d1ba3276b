#pragma once

#include "cal/Calibrator.h"
#include "cal/Quantity.h"
#include "core/Numbers.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/SupplyBench.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace psucal::test {

// One simulated unit on the bench, as the wizard finds it after identification.
struct Bench : SupplyBench {
    explicit Bench(const sim::SupplyConfig& config) : SupplyBench(config)
    {
        st.AbortFlag = false;
        st.MaxV = config.ratingV;
        st.SerialNo = config.serial;
        ui.setModel(RatingIndex(FindRating(config.ratingV)));
        for (int r = 0; r < 160; ++r)
            found[r] = model.row(r);
        st.AsFoundImage = QString::fromLatin1(model.image());
        link.shadow().load(st.AsFoundImage);
    }

    // The display error at every cell the table adjusts, as the unit now shows it.
    QStringList outside(const cal::Quantity& q, const SweepTable& t)
    {
        QStringList out;
        for (int row = t.firstRow; row <= t.lastRow; ++row) {
            for (int cell = 1; cell <= 4; ++cell) {
                if (t.passedOver(row, cell))
                    continue;
                const bool top = t.atMaxV && *t.atMaxV == CellRef{row, cell};
                const double set = top ? st.MaxV : t.setPoint(row, cell);
                (link.*q.set)(set, 0.1);
                link.Delay(0.2);
                const std::optional<DisplayReading> shown = link.ReadDisplay();
                const double error = shown ? num::RoundTo((*shown).*q.shown - set, q.errorDecimals) : 1e9;
                if (error < st.*q.windowLow - 1e-9 || error > st.*q.windowHigh + 1e-9)
                    out << num::Fixed(set, q.setDecimals);
            }
        }
        return out;
    }

    // Cells the table passes over that no longer hold what the unit came with.
    QStringList touchedPassedOver(const SweepTable& t) const
    {
        QStringList out;
        for (int row = t.firstRow; row <= t.lastRow; ++row)
            for (int cell = 1; cell <= 4; ++cell)
                if (t.passedOver(row, cell) && model.row(row).mid(2 * cell - 2, 2) != found[row].mid(2 * cell - 2, 2))
                    out << QStringLiteral("%1/%2").arg(row).arg(cell);
        return out;
    }

    QTemporaryDir dir;
    Calibrator cal{st, ui, link, dir.path()};
    QString found[160];
};

inline sim::SupplyConfig Unit(int volts, quint32 seed)
{
    sim::SupplyConfig c;
    c.ratingV = volts;
    c.seed = seed;
    c.serial = QStringLiteral("SIM%1-%2").arg(volts).arg(seed);
    return c;
}

} // namespace psucal::test
