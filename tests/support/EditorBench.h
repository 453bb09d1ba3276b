#pragma once

#include "db/Database.h"
#include "eeprom/EepromEditor.h"
#include "tests/support/SupplyBench.h"

#include <QTemporaryDir>

namespace psucal::test {

// The EEPROM editor on a fresh Calibration.dt, talking to a simulated supply in virtual time.
struct EditorBench : SupplyBench {
    EditorBench() { st.SerialNo = model.config().serial; }

    // What the table holds for row `id`, cells joined.
    QString tableRow(int id)
    {
        const auto c = editor.table().cells(id);
        return c ? (*c)[0] + (*c)[1] + (*c)[2] + (*c)[3] : QStringLiteral("?");
    }

    QTemporaryDir dir;
    Database db{dir.path()};
    EepromEditor editor{st, ui, link, db.connection()};
};

} // namespace psucal::test
