#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

namespace psucal {

struct BenchState;

// The reference standards (meter, shunt) past their calibration due date on `today`, one phrase
// each, e.g. "the meter 34401A-7 (due 2025-01-31)". A reference is overdue from the day after
// its due date; one without a due date never is.
QStringList OverdueReferences(const BenchState& st, const QDate& today);

// Why the bench refuses to work a unit with those references, and how to run anyway.
QString OverdueRefusal(const QStringList& overdue);

} // namespace psucal
