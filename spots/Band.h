#pragma once

namespace psucal::spots {

// How far a spot's true output may lie from what the supply displays: 1 % of the display
// plus 50 mV up to 5 V and plus 20 mV above (current: plus 5 mA up to 0.5 A, plus 2 mA
// above). Written as a sum, so a display of 0 has a finite band.
double VoltageBand(double display);
double CurrentBand(double display);
double Band(bool current, double display);

// Judging happens in whole display units (0.01 V, 0.001 A): values are rounded to the unit
// first, so a limit that is hit exactly passes instead of failing on binary noise.
int ToUnits(bool current, double value);

// |output - display| within the band, both ends included.
bool OutputWithinBand(bool current, double display, double output);

// display - setting within [lower, upper] (volts or amperes), both ends included.
bool DisplayWithinWindow(bool current, double setting, double display, double lower, double upper);

} // namespace psucal::spots
