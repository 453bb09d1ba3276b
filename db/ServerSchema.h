#pragma once

#include <QSqlDatabase>
#include <QString>

namespace psucal {

// The records' tables on a PostgreSQL server. `report` has the fifteen fields of the local file
// under the same names, then the bench that stored a record, when (UTC) and the run it belongs to;
// `run` keeps every set a bench sent (its id, serial, bench, making time, verdict, rating and the
// replies it asked for again); `measurement` a certificate's rows with the run they came in;
// `psucal_schema` the schema's version.
class ServerSchema {
public:
    static constexpr int Version = 5;
    // First key of every advisory lock psucal takes, so that other programs' locks stay apart.
    static constexpr int LockClass = 0x70737563;

    // Creates what is missing and brings an older schema up to Version; benches starting together
    // take turns. Refuses a schema newer than this program knows.
    static bool Ensure(QSqlDatabase& db, QString* error);
};

} // namespace psucal
