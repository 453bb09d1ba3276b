#pragma once

#include "cal/Calibrator.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/VirtualClock.h"
#include "link/SupplyLink.h"
#include "tests/cal/ScriptedSupply.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/RecordingHost.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace psucal::test {

// A calibrator wired to the scripted supply in virtual time, on row 80 cell 1 of a 20 V unit.
class CalFixture : public ::testing::Test {
protected:
    CalFixture()
    {
        st.AbortFlag = false;
        st.BackupWritten = true; // the backup has tests of its own
        st.CurRow = 80;
        st.CurCell = 1;
        ui.setModel(0);
        asFound();
    }

    // The rows as they stand are what identification found.
    void asFound()
    {
        link.shadow().forget();
        link.shadow().load(supply.image());
    }
    // Gives every row a zero correction in cell 1 ("00"), the others at their sign-only zero.
    void zeroCell(int row)
    {
        supply.rows[row] = QStringLiteral("00808080");
        asFound();
    }

    VirtualClock clock;
    RecordingHost host;
    BenchUi ui{host};
    BenchState st;
    ScriptedSupply supply{clock};
    SupplyLink link{st, ui, clock, supply};
    QTemporaryDir dir;
    Calibrator cal{st, ui, link, dir.path()};
};

} // namespace psucal::test
