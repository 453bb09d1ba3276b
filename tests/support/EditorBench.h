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

#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

namespace psucal::test {

// The EEPROM editor on a fresh Calibration.dt, talking to a simulated supply in virtual time.
struct EditorBench {
    EditorBench() : port(clock, model), ui(host) { st.SerialNo = model.config().serial; }

    // Frames the supply received since `from` that start with `word`.
    QStringList framesSince(qsizetype from, const QString& word = QString()) const
    {
        return model.frames().mid(from).filter(QRegularExpression('^' + QRegularExpression::escape(word)));
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
