#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace psucal {

// The outcome of one check of a spot. The conditional ones lie within the expanded uncertainty of
// a limit (guarded acceptance) and do not count as passed.
enum class Verdict { NotMeasured, Pass, Fail, ConditionalPass, ConditionalFail };

// One answer of the meter: the line as it came and the number in it, in the meter's own unit
// (volts) and with its sign.
struct Reading {
    QByteArray sent;
    double value = 0;
};

// What one check of a spot was judged against, in the grid's unit. U, the expanded uncertainty
// (k = 2), is there only when the bench worked it out and knew the meter.
struct CheckLimits {
    double lower = 0;
    double upper = 0;
    std::optional<double> U;
};

// One test spot of a verification pass. Values are in the grid's unit, volts or amperes.
struct SpotResult {
    double setting = 0;            // the set point, at the Setting column's resolution
    std::optional<double> display; // what the supply's own display showed
    QList<Reading> readings;       // every answer of the meter at this spot
    // The true output: the mean of the readings' magnitudes at the grid's resolution (the current
    // pass scales and rounds each reading first), or what the operator typed. Readings of 0 are
    // no measurement.
    std::optional<double> mean;
    double rangeV = 0; // the meter's range and function while it read this spot
    QString function;
    Verdict displayCheck = Verdict::NotMeasured; // Display - Setting within the acceptance window
    Verdict outputCheck = Verdict::NotMeasured;  // mean within the band around the display
    CheckLimits displayLimits;
    CheckLimits outputLimits;
};

} // namespace psucal
