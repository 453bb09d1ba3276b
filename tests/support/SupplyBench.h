#pragma once

#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/VirtualClock.h"
#include "link/SupplyLink.h"
#include "sim/InProcessSupply.h"
#include "sim/SupplyModel.h"
#include "tests/support/RecordingHost.h"

#include <QRegularExpression>
#include <QStringList>

namespace psucal::test {

// A simulated supply on the supply link, in virtual time, with a recording front end.
struct SupplyBench {
    explicit SupplyBench(const sim::SupplyConfig& config = {}) : model(config), port(clock, model), ui(host) {}

    // Frames the supply received since `from` that start with `word`.
    QStringList framesSince(qsizetype from, const QString& word = QString()) const
    {
        return model.frames().mid(from).filter(QRegularExpression('^' + QRegularExpression::escape(word)));
    }

    VirtualClock clock;
    sim::SupplyModel model;
    sim::InProcessSupply port;
    RecordingHost host;
    BenchState st;
    BenchUi ui;
    SupplyLink link{st, ui, clock, port};
};

} // namespace psucal::test
