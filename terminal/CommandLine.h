#pragma once

#include "core/Rating.h"

#include <QString>
#include <QStringList>

#include <array>

namespace psucal {

struct Options {
    int runMode = 3;
    int spots = 20; // test spots per verification pass: 5, 10, 20, 40 or 80
    QString supplyPort;
    // A station: run mode 3 on every one of these ports at once, each unit a psucal of its own.
    bool station = false;
    QStringList supplyPorts; // every --supply-port given, in order
    QList<int> simModels;    // --simulate with --station: one rating per simulated unit
    // JSON lines of the run's events, "-" for stdout (the text then goes to stderr).
    QString eventsFile;
    QString meterPort;
    bool simulate = false;
    int simModel = DefaultSimulatedVolts; // whole volts of the simulated supply's rating
    bool batch = false;
    bool yes = false;
    QString traceFile;
    QString dir;
    bool noBackup = false;
    // Run mode 0 in the terminal: Define with this serial number and, when given, this
    // CmbModel entry (a row of the rating table) before the two steps.
    bool define = false;
    QString serial;
    int model = -1;
    // Puts an as-found backup back into the supply, in the terminal; `force` allows a backup
    // of another serial number.
    QString restoreFile;
    bool force = false;
    // At the end of a terminal run in run modes 0-2: the records stored and the PDF filed, and
    // with `print` the report sent to the default printer as well.
    bool report = false;
    bool asFound = false; // verify before calibrating too
    // With the report, a calibration certificate filed beside it.
    bool certificate = false;
    // Run although a reference is past its due date.
    bool allowOverdue = false;
    QString humidity; // relative humidity, percent; null: not given
    bool print = false;
    // The report boxes TxtH(0..3): client model, equipment, ambient temperature, tested by.
    // A null string: not given.
    std::array<QString, 4> header;
    // The line's records server, postgresql://user@host:port/dbname; wins over Calibration.conf.
    QString database;
    // Commands of their own: the unit's stored records as a table or CSV, or the outbox sent.
    QString records;
    QString format = QStringLiteral("table");
    bool allRuns = false;
    bool measurements = false; // --records: the certificate measurements instead of the report records
    bool flushOutbox = false;
    // ~/psucal as the program folder, for a start from the desktop menu (whose working
    // directory is the home folder).
    bool home = false;
    bool help = false;
    bool version = false;
    // Runs in the terminal whatever the display: --batch or --restore.
    bool terminal() const { return batch || !restoreFile.isEmpty(); }
    // How many units a station works at once, at most.
    static constexpr int MaxStationUnits = 8;
    bool recordsCommand() const { return !records.isEmpty() || flushOutbox; }
    // --dir, ~/psucal with --home, otherwise the working directory; absolute.
    QString programDir() const;
    QString error; // set on the first bad argument; the other fields are then not to be trusted
};

// `arguments` without the program name.
Options parseCommandLine(const QStringList& arguments);
// argv as main() receives it; argv[0] is skipped.
Options parseCommandLine(int argc, const char* const* argv);

QString helpText();
QString versionText();

} // namespace psucal
