#pragma once

#include "db/ServerAddress.h"

namespace psucal {

struct ConfResult;
struct Options;

// The records' store the options choose: --database, else the Database key of Calibration.conf;
// empty for Calibration.dt.
ServerAddress ChosenServer(const Options& options, const ConfResult& conf);

// --records SERIAL [--format table|csv] and --flush-outbox, with their exit status.
int RunRecordsCommand(const Options& options);

} // namespace psucal
