#include "wizard/References.h"

#include "core/BenchState.h"

namespace psucal {

namespace {
QString Phrase(const QString& what, const QString& id, const QDate& due)
{
    const QString named = id.isEmpty() ? what : what + u' ' + id;
    return QStringLiteral("the %1 (due %2)").arg(named, due.toString(QStringLiteral("yyyy-MM-dd")));
}
} // namespace

QStringList OverdueReferences(const BenchState& st, const QDate& today)
{
    QStringList overdue;
    if (st.MeterCalDue.isValid() && st.MeterCalDue < today)
        overdue << Phrase(QStringLiteral("meter"), st.MeterId, st.MeterCalDue);
    if (st.ShuntCalDue.isValid() && st.ShuntCalDue < today)
        overdue << Phrase(QStringLiteral("shunt"), st.ShuntId, st.ShuntCalDue);
    return overdue;
}

QString OverdueRefusal(const QStringList& overdue)
{
    return QStringLiteral("Reference overdue for calibration: %1. Nothing was calibrated or verified; start psucal "
                          "with --allow-overdue to run all the same.")
        .arg(overdue.join(QStringLiteral(" and ")));
}

} // namespace psucal
