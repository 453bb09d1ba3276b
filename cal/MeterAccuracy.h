#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace psucal::cal {

// The manufacturer's 1-year DC voltage accuracy on one range: ±(% of reading + % of range).
struct RangeAccuracy {
    double rangeV = 0;
    double pctReading = 0;
    double pctRange = 0;
};

// What the bench knows of one meter model; ranges ascending.
struct MeterAccuracy {
    QString model;
    QList<RangeAccuracy> ranges;

    // The range a configure command with `configuredV` selects: the smallest at or above it.
    // Nothing when the value lies above every range.
    std::optional<RangeAccuracy> rangeFor(double configuredV) const;
};

// The model field of a `*IDN?` answer ("HEWLETT-PACKARD,34401A,0,11-5-2" gives "34401A"); an
// answer without one gives its trimmed whole.
QString IdnModel(const QString& idn);

// The accuracy of the model `*IDN?` names; nothing for a meter the bench does not know.
std::optional<MeterAccuracy> FindMeterAccuracy(const QString& model);

} // namespace psucal::cal
