#pragma once

#include "db/ReportTable.h"
#include "db/ServerAddress.h"

#include <QList>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QString>

#include <functional>

namespace psucal {

// The records on a PostgreSQL server, over one connection that is opened when first needed and
// kept. Every set is kept as a run of its unit; the latest made is the unit's current one. Storing
// a set is one transaction under a lock on its serial number, and a resend is recognised by the
// set's id, so each set becomes exactly one complete run.
class ServerStore {
public:
    enum class Outcome {
        Failed,        // nothing changed; the error says why
        Stored,        // the set is now the unit's latest run
        AlreadyStored, // a resend of a set the server had committed before
        Superseded,    // kept as an earlier run: the server holds a set of that unit made later
    };

    explicit ServerStore(ServerAddress address);
    ~ServerStore();
    ServerStore(const ServerStore&) = delete;
    ServerStore& operator=(const ServerStore&) = delete;

    const ServerAddress& address() const { return address_; }

    // Stores the set as a run. A kept connection that has gone stale is replaced once; a resend is
    // safe, since the server recognises a set it already has.
    Outcome put(const RecordSet& set, QString* error);

    // The records of one serial number's latest run in spot order, with the bench and the time
    // stored; with `allRuns`, every run's, newest first, each headed by its run id.
    QList<QSqlRecord> records(const QString& serial, QString* error, bool allRuns = false);
    // The measurement rows of the unit's latest run that had a certificate; with `allRuns`, of
    // every run, newest first, each row headed by its run id.
    QList<QSqlRecord> measurements(const QString& serial, QString* error, bool allRuns = false);

private:
    bool connect(QString* error);
    void disconnect();
    // Runs `attempt` on an open connection, and once more on a fresh one when a kept connection
    // failed it. False, with `error` saying why, when it did not succeed.
    bool withRetry(const std::function<bool(QString*)>& attempt, QString* error);
    Outcome putOnce(const RecordSet& set, QString* error);
    // The rows a query with the one bound serial selects.
    QList<QSqlRecord> select(const QString& sql, const QString& serial, QString* error);

    ServerAddress address_;
    QSqlDatabase db_;
};

} // namespace psucal
