#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace psucal {

// The simulated units of `psucal --simulate --station`: one psucal-sim each, unit k with seed k,
// on a link named simK so that its trace and its line say which unit it is.
class StationSim {
public:
    ~StationSim();
    // Starts one unit per rating; their ports, or empty with `error` said.
    QStringList start(const QList<int>& ratings, QString* error);

private:
    QTemporaryDir dir_;
    std::vector<std::unique_ptr<QProcess>> sims_;
};

} // namespace psucal
