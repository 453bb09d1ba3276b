#pragma once

#include "db/Outbox.h"
#include "db/ServerAddress.h"
#include "db/ServerStore.h"

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QString>

#include <memory>

namespace psucal {

struct ReportData;

// Where a bench's records go: Calibration.dt by default, or the line's PostgreSQL server, with
// the outbox in the program folder taking whatever the server cannot.
class BenchRecords {
public:
    struct Placement {
        enum class Where { Nowhere, Local, Server, Outbox } where = Where::Nowhere;
        // For the operator: why nothing was stored, or where the records went instead of the
        // server. Empty when they went where they should.
        QString message;
        bool stored() const { return where != Where::Nowhere; }
    };

    // `local` is the open Calibration.dt; an empty `server` keeps the records there.
    BenchRecords(QSqlDatabase local, const QString& programDir, const ServerAddress& server);

    // The store in use, for messages: the file or the server's address.
    QString describe() const;

    // Replaces the unit's records. A value too long for its field stores nothing anywhere.
    Placement Store(const ReportData& data);

    // The unit's stored records, in spot order; with a server, only what the server holds, and
    // with `allRuns` every run it keeps (Calibration.dt keeps only the latest).
    QList<QSqlRecord> Records(const QString& serial, QString* error, bool allRuns = false);

    // The same for the certificates' measurement rows: the latest certificate's, or every one's.
    QList<QSqlRecord> Measurements(const QString& serial, QString* error, bool allRuns = false);

    // A certificate number never handed out before on this line: <bench>-<yyyyMMdd>-<sequence>,
    // the sequence per bench and day kept in Calibration.dt in every mode. The number is committed
    // before it is returned, so a store that fails afterwards burns it. Empty, with `error` saying
    // why, when Calibration.dt cannot give one.
    QString NextCertificateNumber(const QDate& day, QString* error);

    // The bench's name as the records carry it (the PC's host name), and as a certificate number
    // carries it: upper case letters, digits and "-", other characters as "-", at most 32.
    static QString BenchName();
    static QString NumberBench(const QString& bench);

    // Sends what waits in the outbox; `message` says what happened, empty when nothing waited.
    Outbox::Flush FlushOutbox(QString* message);

    Outbox& outbox() { return outbox_; }

private:
    QSqlDatabase local_;
    std::unique_ptr<ServerStore> server_;
    Outbox outbox_;
};

} // namespace psucal
