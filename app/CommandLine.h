#pragma once

#include <QString>
#include <QStringList>

namespace psucal {

struct Options {
    int runMode = 3;
    int spots = 20; // test spots per verification pass: 5, 10, 20, 40 or 80
    QString supplyPort;
    QString meterPort;
    bool simulate = false;
    int simModel = 40; // rated voltage of the simulated supply: 20, 40 or 60
    bool batch = false;
    bool yes = false;
    QString traceFile;
    QString dir;
    bool noBackup = false;
    bool help = false;
    bool version = false;
    QString error; // set on the first bad argument; the other fields are then not to be trusted
};

// `arguments` without the program name.
Options parseCommandLine(const QStringList& arguments);
// argv as main() receives it; argv[0] is skipped.
Options parseCommandLine(int argc, const char* const* argv);

QString helpText();
QString versionText();

} // namespace psucal
