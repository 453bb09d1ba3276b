#include "db/Connection.h"

#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

namespace psucal::connection {

namespace {
// A station's benches queue for one file, and SQLite's wait is not fair: one bench may lose the
// lock to the others for seconds on a busy disk. Waiting is cheap; a record refused is not.
constexpr int BusyTimeoutMs = 60000;
// Stores are made on more than one thread (the outbox is sent at start-up on its own).
std::atomic<int> count = 0;
} // namespace

QString UniqueName()
{
    return QStringLiteral("psucal-%1").arg(++count);
}

QSqlDatabase OpenSqlite(const QString& path, bool readOnly)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), UniqueName());
    db.setDatabaseName(path);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs);
    if (readOnly)
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    db.setConnectOptions(options);
    db.open();
    return db;
}

bool BeginWrite(QSqlDatabase& db, QString* why)
{
    // Qt's transaction() begins a deferred one; the driver's commit() and rollback() end this too.
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return true;
    if (why)
        *why = q.lastError().text();
    return false;
}

void Drop(QSqlDatabase& db)
{
    const QString name = db.connectionName();
    if (name.isEmpty())
        return;
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
}

} // namespace psucal::connection
