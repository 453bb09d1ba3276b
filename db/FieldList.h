#pragma once

#include <QString>
#include <QStringList>

namespace psucal {

// A table's field names, quoted and comma-separated, for column lists in SQL.
template <typename Fields>
QString QuotedNames(const Fields& fields)
{
    QStringList names;
    for (const auto& f : fields)
        names << QStringLiteral("\"%1\"").arg(QLatin1String(f.name));
    return names.join(u',');
}

// As many "?" as the table has fields, for bound values.
template <typename Fields>
QString BindMarks(const Fields& fields)
{
    return QStringList(fields.size(), QStringLiteral("?")).join(u',');
}

} // namespace psucal
