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

// Closes `db` and removes its connection; nothing when `db` holds none.
void Drop(QSqlDatabase& db);

} // namespace psucal::connection
