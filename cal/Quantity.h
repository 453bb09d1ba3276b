#pragma once

#include "link/DisplayReading.h"

namespace psucal {
struct BenchState;
class SupplyLink;
} // namespace psucal

namespace psucal::cal {

using Setter = bool (SupplyLink::*)(double value, double timeout);

// What differs between voltage and current in the adjustment loop.
struct Quantity {
    char letter;                   // set-point text prefix: 'V' or 'C'
    Setter set;                    // programs the output
    int setDecimals;               // decimals of the set-point text
    int cellScale;                 // signed cell units: 0.01 V or 0.001 A
    int errorDecimals;             // display error rounded to the display's resolution
    double biasBase;               // bias = biasBase * gain
    double retrigger;              // step below the set point before it is set again
    double smallStep;              // one unit of the Small Cal. rule
    bool roundBeforeBias;          // current rounds the correction before the bias goes in
    double DisplayReading::*shown; // the display field this quantity reads
    double pauseAfterFirstRead;    // seconds between the first display read and the window test
    bool guardsOpenTerminals;      // a high voltage with no current means the terminals are open
    double BenchState::*windowLow; // acceptance window of the display error, inclusive
    double BenchState::*windowHigh;
    void (*fail)(BenchState&); // FailCalV or FailCalC
};

extern const Quantity VoltageQuantity;
extern const Quantity CurrentQuantity;

} // namespace psucal::cal
