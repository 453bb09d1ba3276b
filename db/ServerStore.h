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
// kept. Storing a set is one transaction under a lock on its serial number, so two benches
// storing the same unit at once leave exactly one complete set, never a mixture.
class ServerStore {
public:
    enum class Outcome {
        Failed,        // nothing changed; the error says why
        Stored,        // the set replaced the unit's earlier one
        AlreadyStored, // a resend of a set the server had committed before
        Superseded,    // the server holds a set of that unit made later; it stays
    };

    explicit ServerStore(ServerAddress address);
    ~ServerStore();
    ServerStore(const ServerStore&) = delete;
    ServerStore& operator=(const ServerStore&) = delete;

    const ServerAddress& address() const { return address_; }

    // Stores the set. A kept connection that has gone stale is replaced once; a resend is safe,
    // since the server recognises a set it already has and never lets an older one replace a newer.
    Outcome put(const RecordSet& set, QString* error);

    // The records of one serial number in spot order, with the bench and the time stored.
    QList<QSqlRecord> records(const QString& serial, QString* error);

private:
    bool connect(QString* error);
    void disconnect();
    // Runs `attempt` on an open connection, and once more on a fresh one when a kept connection
    // failed it. False, with `error` saying why, when it did not succeed.
    bool withRetry(const std::function<bool(QString*)>& attempt, QString* error);
    Outcome putOnce(const RecordSet& set, QString* error);

    ServerAddress address_;
    QSqlDatabase db_;
};

} // namespace psucal
