#include "db/Database.h"

#include "db/Connection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariantList>

namespace psucal {

namespace {
const QByteArray SqliteMagic("SQLite format 3\0", 16);

QString SqlError(const QSqlError& e)
{
    const QString text = e.driverText().isEmpty() ? e.databaseText() : e.databaseText() + u' ' + e.driverText();
    return text.trimmed();
}
} // namespace

Database::Database(const QString& programDir) : path_(QDir(programDir).absoluteFilePath(QString::fromLatin1(FileName)))
{
    usable_ = open() && ensureTb1();
}

Database::~Database()
{
    connection::Drop(db_);
}

bool Database::fail(const QString& reason)
{
    error_ = reason + QStringLiteral("\nThe EEPROM editor and the records are not available.");
    return false;
}

bool Database::open()
{
    const QFileInfo info(path_);
    if (info.exists()) {
        if (info.isDir())
            return fail(QStringLiteral("%1 is a folder, not a database file.").arg(path_));
        QFile file(path_);
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("%1 cannot be read (%2).").arg(path_, file.errorString()));
        // An empty file is a database not yet written; anything else must say it is SQLite,
        // since SQLite would otherwise start a new database over someone's file.
        const QByteArray head = file.read(SqliteMagic.size());
        if (info.size() > 0 && head != SqliteMagic)
            return fail(QStringLiteral("%1 is not an SQLite database; it was left as it is. "
                                       "Move it elsewhere to let psucal create a new one.")
                            .arg(path_));
    }

    db_ = connection::OpenSqlite(path_);
    if (!db_.isOpen())
        return fail(QStringLiteral("%1 cannot be opened (%2).").arg(path_, SqlError(db_.lastError())));

    QSqlQuery q(db_);
    // Reading the schema is where a damaged file first shows itself.
    if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return fail(QStringLiteral("%1 cannot be read as a database (%2); it was left as it is.")
                        .arg(path_, SqlError(q.lastError())));
    // A rollback journal keeps the database in one file that can be copied as it stands.
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=DELETE")) || !q.next() ||
        q.value(0).toString().compare(QLatin1String("delete"), Qt::CaseInsensitive) != 0)
        return fail(QStringLiteral("%1: the journal mode cannot be set (%2).").arg(path_, SqlError(q.lastError())));
    return true;
}

bool Database::ensureTb1()
{
    QSqlQuery q(db_);
    // Another bench on this file may create it at the same moment: whoever is first makes it.
    if (!db_.tables().contains(QStringLiteral("TB1"))) {
        QString sql =
            QStringLiteral("CREATE TABLE IF NOT EXISTS TB1 (ID INTEGER PRIMARY KEY CHECK (ID BETWEEN 0 AND %1)")
                .arg(Rows - 1);
        for (const char* field : CellField)
            sql += QStringLiteral(", %1 TEXT CHECK (length(%1) <= 2)").arg(QLatin1String(field));
        if (!q.exec(sql + u')'))
            return fail(QStringLiteral("%1: table TB1 cannot be created (%2).").arg(path_, SqlError(q.lastError())));
    }
    QStringList columns;
    bool idIsKey = false;
    q.exec(QStringLiteral("PRAGMA table_info(TB1)"));
    while (q.next()) {
        columns << q.value(1).toString();
        if (q.value(1).toString() == QLatin1String("ID"))
            idIsKey = q.value(5).toInt() == 1;
    }
    bool cellsThere = true;
    for (const char* field : CellField)
        cellsThere = cellsThere && columns.contains(QLatin1String(field));
    if (!idIsKey || !cellsThere)
        return fail(QStringLiteral("%1: table TB1 has columns %2, not ID (the key) and Cell1 to Cell4; "
                                   "it was left as it is.")
                        .arg(path_, columns.join(QStringLiteral(", "))));

    if (!q.exec(QStringLiteral("SELECT count(*) FROM TB1 WHERE ID BETWEEN 0 AND %1").arg(Rows - 1)) || !q.next())
        return fail(QStringLiteral("%1: table TB1 cannot be read (%2).").arg(path_, SqlError(q.lastError())));
    if (q.value(0).toInt() == Rows)
        return true;

    QVariantList ids;
    for (int id = 0; id < Rows; ++id)
        ids << id;
    // The count's statement still holds its read lock: SQLite refuses at once, without waiting,
    // to let a reader take the write lock while another bench is about to write.
    q.finish();
    if (QString why; !connection::BeginWrite(db_, &why))
        return fail(QStringLiteral("%1: the rows of table TB1 cannot be added (%2).").arg(path_, why));
    q.prepare(QStringLiteral("INSERT OR IGNORE INTO TB1 (ID) VALUES (?)"));
    q.addBindValue(ids);
    if (!q.execBatch() || !db_.commit()) {
        const QString why = SqlError(q.lastError().isValid() ? q.lastError() : db_.lastError());
        db_.rollback();
        return fail(QStringLiteral("%1: the rows of table TB1 cannot be added (%2).").arg(path_, why));
    }
    return true;
}

} // namespace psucal
