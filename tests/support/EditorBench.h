#pragma once

#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/VirtualClock.h"
#include "db/Database.h"
#include "eeprom/EepromEditor.h"
#include "link/SupplyLink.h"
#include "sim/InProcessSupply.h"
#include "sim/SupplyModel.h"
#include "tests/support/RecordingHost.h"

#include <QStringList>
#include <QTemporaryDir>

namespace psucal::test {

// The EEPROM editor on a fresh Calibration.dt, talking to a simulated supply in virtual time.
struct EditorBench {
    explicit EditorBench(sim::SupplyConfig cfg = {}) : model(cfg), port(clock, model), ui(host)
    {
        st.AbortFlag = false;
        st.SerialNo = cfg.serial;
    }

    // Frames the supply received since `from`, optionally only those of one command word.
    QStringList framesSince(qsizetype from, const QString& word = QString()) const
    {
        QStringList out;
        for (const QString& f : model.frames().mid(from))
            if (word.isEmpty() || f.startsWith(word))
                out << f;
        return out;
    }
    // What the supply now holds, as the table would show it after a read.
    QString tableRow(int id)
    {
        const auto c = editor.table().cells(id);
        return c ? (*c)[0] + (*c)[1] + (*c)[2] + (*c)[3] : QStringLiteral("?");
    }

    QTemporaryDir dir;
    VirtualClock clock;
    sim::SupplyModel model;
    sim::InProcessSupply port;
    RecordingHost host;
    BenchState st;
    BenchUi ui;
    SupplyLink link{st, ui, clock, port};
    Database db{dir.path()};
    EepromEditor editor{st, ui, link, db.connection()};
};

} // namespace psucal::test
