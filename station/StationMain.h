#pragma once

namespace psucal {

struct Options;

// psucal --station: every unit at once, in the terminal (--batch, or no display) or in the
// station view. Returns the exit status: 0 every unit recalibrated, 1 any did not, 130 after a
// signal, 2 when the station could not start.
int RunStationTerminal(const Options& options, int argc, char** argv);
int RunStationWindow(const Options& options, int argc, char** argv);

} // namespace psucal
