#include "report/BenchRecords.h"

#include "report/ReportData.h"
#include "report/ReportRows.h"

namespace psucal {

BenchRecords::BenchRecords(QSqlDatabase local, const QString& programDir, const ServerAddress& server)
    : local_(std::move(local)), outbox_(programDir)
{
    if (!server.isEmpty())
        server_ = std::make_unique<ServerStore>(server);
}

QString BenchRecords::describe() const
{
    return server_ ? server_->address().display() : local_.databaseName();
}

BenchRecords::Placement BenchRecords::Store(const ReportData& data)
{
    Placement p;
    if (!server_) {
        if (ReportRows::SaveReport(local_, data, &p.message))
            p.where = Placement::Where::Local;
        return p;
    }
    RecordSet set;
    if (!ReportRows::MakeSet(data, &set, &p.message))
        return p;
    QString serverError;
    const ServerStore::Outcome out = server_->put(set, &serverError);
    if (out != ServerStore::Outcome::Failed) {
        p.where = Placement::Where::Server;
        if (out == ServerStore::Outcome::Superseded)
            p.message = QStringLiteral("The server already holds newer records of %1; they were kept.").arg(set.serial);
        return p;
    }
    QString outboxError;
    const QString unit = data.SerialNo.isEmpty() ? QStringLiteral("this unit") : data.SerialNo;
    if (!outbox_.add(set, &outboxError)) {
        p.message = QStringLiteral("The results of %1 were not stored: %2; nor could they be kept locally: %3.")
                        .arg(unit, serverError, outboxError);
        return p;
    }
    p.where = Placement::Where::Outbox;
    p.message = QStringLiteral("The results of %1 were not stored on the server: %2. They are kept in %3 and will be "
                               "sent at the next start or with psucal --flush-outbox.")
                    .arg(unit, serverError, outbox_.path());
    return p;
}

QList<QSqlRecord> BenchRecords::Records(const QString& serial, QString* error, bool allRuns)
{
    return server_ ? server_->records(serial, error, allRuns) : ReportRows::Records(local_, serial, error);
}

Outbox::Flush BenchRecords::FlushOutbox(QString* message)
{
    message->clear();
    if (!server_)
        return {};
    Outbox::Flush f = outbox_.sendTo(*server_);
    QStringList parts;
    if (f.sent > 0)
        parts << QStringLiteral("%1 set(s) of records from %2 reached %3").arg(f.sent).arg(outbox_.path(), describe());
    if (f.superseded > 0)
        parts << QStringLiteral("%1 older set(s) were kept as earlier runs, the server holding newer records of those units")
                     .arg(f.superseded);
    if (f.left > 0)
        parts << QStringLiteral("%1 set(s) still wait in %2: %3").arg(f.left).arg(outbox_.path(), f.error);
    else if (!f.error.isEmpty())
        parts << f.error;
    *message = parts.join(QStringLiteral("; "));
    if (!message->isEmpty())
        *message += u'.';
    return f;
}

} // namespace psucal
