#pragma once

#include <QString>

class QCommandLineParser;

namespace psucal {

struct Options;

// The checks of --station, --units, a repeated --supply-port and a list of ratings to
// --simulate; completes `o.simModels` from --units. Empty when the options go together.
QString StationCombinations(const QCommandLineParser& p, Options& o);

// A port's short name, as unit names and file names carry it: /dev/ttyUSB0 gives ttyUSB0.
QString PortShortName(const QString& port);
// `file` with `name` put before its extension: trace.log and ttyUSB0 give trace.ttyUSB0.log.
QString PerUnitFileName(const QString& file, const QString& name);

} // namespace psucal
