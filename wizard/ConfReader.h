#pragma once

#include "core/BenchState.h"

#include <QString>

namespace psucal {

// What Calibration.conf says. Fields not set by the file keep the bench's start-up values.
struct ConfResult {
    bool found = false;   // a file of that name exists
    bool readable = true; // false: it exists but could not be read; the defaults stand

    bool EEPVisible = false;
    double RigorUpV = BenchState{}.RigorUpV;
    double RigorDnV = BenchState{}.RigorDnV;
    double RigorOffsetV = BenchState{}.RigorOffsetV;
    double RigorUpC = BenchState{}.RigorUpC;
    double RigorDnC = BenchState{}.RigorDnC;
    double RigorOffsetC = BenchState{}.RigorOffsetC;
    bool GuardRule = false; // DecisionRule guard; simple otherwise
    bool AsFound = false;
    double ShuntOhm = BenchState{}.ShuntOhm;
    double ShuntTol = BenchState{}.ShuntTol;
    // The reference standards; a date the file does not give, or gives unreadably, is null.
    QString MeterId;
    QDate MeterCalDue;
    QString ShuntId;
    QDate ShuntCalDue;
    QString Humidity; // the humidity box's value at start, whole percent; empty: not given
    int Retries = BenchState{}.Retries; // repeats of an exchange whose reply went wrong
    // The line's records server, postgresql://user@host:port/dbname; empty: Calibration.dt.
    QString Database;

    // Something the operator should hear about (unreadable file, file cut short); empty otherwise.
    QString warning;

    // Copies the six limits, the measurement settings and the references; EEPVisible has no home
    // in BenchState and is the window's business.
    void apply(BenchState& state) const;
};

class ConfReader {
public:
    static inline const QString kFileName = QStringLiteral("Calibration.conf");

    // A real configuration is a few lines; anything past this is not worth reading.
    static constexpr qint64 kMaxBytes = 4 * 1024 * 1024;

    // Reads `folder`/Calibration.conf. Never fails: a missing file gives the defaults silently,
    // an unreadable one the defaults and a warning.
    static ConfResult read(const QString& folder, qint64 maxBytes = kMaxBytes);
};

} // namespace psucal
