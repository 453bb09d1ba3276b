#include "report/BenchRecords.h"

#include "db/Connection.h"
#include "report/MeasurementRows.h"
#include "report/ReportData.h"
#include "report/ReportRows.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>

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
    set.measurements = MeasurementRows::Records(data);
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

QList<QSqlRecord> BenchRecords::Measurements(const QString& serial, QString* error, bool allRuns)
{
    return server_ ? server_->measurements(serial, error, allRuns)
                   : MeasurementRows::Read(local_, serial, error, allRuns);
}

QString BenchRecords::BenchName()
{
    return QSysInfo::machineHostName();
}

QString BenchRecords::NumberBench(const QString& bench)
{
    QString out;
    for (const QChar c : bench.toUpper()) {
        const bool kept = (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
        if (kept)
            out += c;
        else if (!out.isEmpty() && !out.endsWith(u'-'))
            out += u'-';
    }
    while (out.endsWith(u'-'))
        out.chop(1);
    out.truncate(32);
    while (out.endsWith(u'-'))
        out.chop(1);
    return out.isEmpty() ? QStringLiteral("BENCH") : out;
}

QString BenchRecords::NextCertificateNumber(const QDate& day, QString* error)
{
    const QString bench = NumberBench(BenchName());
    const QString date = day.toString(QStringLiteral("yyyyMMdd"));
    const auto failed = [&](const QString& why) {
        *error = QStringLiteral("no certificate number could be drawn from %1: %2").arg(local_.databaseName(), why);
        return QString();
    };
    if (!local_.isOpen())
        return failed(QStringLiteral("the results database is not open"));
    if (!day.isValid())
        return failed(QStringLiteral("the date is not valid"));
    QSqlQuery q(local_);
    if (!q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS certificate_number (bench TEXT NOT NULL, day TEXT NOT NULL, "
                               "last INTEGER NOT NULL, PRIMARY KEY (bench, day))")))
        return failed(q.lastError().text());
    if (QString why; !connection::BeginWrite(local_, &why))
        return failed(why);
    // The increment comes first and takes the write lock, so two programs on one file never draw
    // the same number; the number counts as used once committed, whatever happens to it then.
    const bool drawn = q.prepare(QStringLiteral("INSERT INTO certificate_number VALUES (?, ?, 1) "
                                                "ON CONFLICT (bench, day) DO UPDATE SET last = last + 1")) &&
                       (q.addBindValue(bench), q.addBindValue(date), q.exec()) &&
                       q.prepare(QStringLiteral("SELECT last FROM certificate_number WHERE bench = ? AND day = ?")) &&
                       (q.addBindValue(bench), q.addBindValue(date), q.exec()) && q.next();
    const qlonglong n = drawn ? q.value(0).toLongLong() : 0;
    const QString why = q.lastError().text();
    q.finish();
    if (!drawn || !local_.commit()) {
        const QString cause = drawn ? local_.lastError().text() : why;
        local_.rollback();
        return failed(cause.isEmpty() ? QStringLiteral("the draw was not committed") : cause);
    }
    return QStringLiteral("%1-%2-%3").arg(bench, date).arg(n, 4, 10, QChar(u'0'));
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
