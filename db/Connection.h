#pragma once

#include <QSqlDatabase>
#include <QString>

// Qt's named database connections, made and dropped the same way by every store.
namespace psucal::connection {

// A connection name no other connection of this process has.
QString UniqueName();

// A new SQLite connection on `path`, already asked to open: check isOpen(). Another psucal
// writing the same file is waited for a few seconds before the file counts as busy.
QSqlDatabase OpenSqlite(const QString& path, bool readOnly = false);

// Starts a transaction that writes: it takes the file's write lock at once, waiting for another
// psucal's as the busy time-out allows. A transaction that first reads and then writes could
// instead meet another writer half way, and SQLite ends one of them at once ("database is
// locked") rather than let both wait. Commit or roll back as usual. On failure `why` gets SQLite's
// reason (the connection's own last error does not carry it).
bool BeginWrite(QSqlDatabase& db, QString* why = nullptr);

// Closes `db` and removes its connection; nothing when `db` holds none.
void Drop(QSqlDatabase& db);

} // namespace psucal::connection
