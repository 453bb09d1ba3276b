#include "db/Outbox.h"

#include "db/Connection.h"
#include "db/ServerStore.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace psucal {

namespace {

template <typename Row>
QByteArray Encoded(const QList<Row>& rows)
{
    QJsonArray all;
    for (const Row& row : rows) {
        QJsonArray values;
        for (const QVariant& v : row)
            values.append(v.isNull() ? QJsonValue() : QJsonValue(v.toString()));
        all.append(values);
    }
    return QJsonDocument(all).toJson(QJsonDocument::Compact);
}

template <typename Row>
bool Decoded(const QByteArray& json, QList<Row>* rows)
{
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    for (const QJsonValue& r : doc.array()) {
        const QJsonArray values = r.toArray();
        if (static_cast<size_t>(values.size()) != Row().size())
            return false;
        Row row;
        for (qsizetype f = 0; f < values.size(); ++f)
            row[f] = values[f].isString() ? QVariant(values[f].toString()) : QVariant();
        rows->append(row);
    }
    return doc.isArray();
}

} // namespace

Outbox::Outbox(const QString& programDir) : path_(QDir(programDir).absoluteFilePath(QString::fromLatin1(FileName))) {}

Outbox::~Outbox()
{
    connection::Drop(db_);
}

bool Outbox::open(bool create, QString* error)
{
    if (db_.isOpen())
        return true;
    if (!create && !QFileInfo::exists(path_))
        return false;
    connection::Drop(db_);
    db_ = connection::OpenSqlite(path_);
    QSqlQuery q(db_);
    // An outbox from before certificates lacks the measurements' column, one from before repeats
    // were counted the repeats'; its sets carry none.
    const auto column = [&](const QString& name, const QString& type) {
        return db_.record(QStringLiteral("pending")).contains(name) ||
               q.exec(QStringLiteral("ALTER TABLE pending ADD COLUMN %1 %2").arg(name, type));
    };
    if (!db_.isOpen() ||
        !q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS pending (set_id TEXT PRIMARY KEY, made_at TEXT NOT NULL, "
                               "bench TEXT, serial TEXT, records TEXT NOT NULL, measurements TEXT, "
                               "repeats INTEGER NOT NULL DEFAULT 0)")) ||
        !column(QStringLiteral("measurements"), QStringLiteral("TEXT")) ||
        !column(QStringLiteral("repeats"), QStringLiteral("INTEGER NOT NULL DEFAULT 0"))) {
        *error = QStringLiteral("%1 cannot be used (%2)")
                     .arg(path_, (db_.isOpen() ? q.lastError() : db_.lastError()).text().trimmed());
        db_.close();
        return false;
    }
    return true;
}

bool Outbox::add(const RecordSet& set, QString* error)
{
    if (!open(true, error))
        return false;
    QSqlQuery q(db_);
    q.prepare(QStringLiteral(
        "INSERT INTO pending (set_id, made_at, bench, serial, records, measurements, repeats) "
        "VALUES (?, ?, ?, ?, ?, ?, ?)"));
    const QVariant measurements =
        set.measurements.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(Encoded(set.measurements));
    for (const QVariant& v : {QVariant(set.setId), QVariant(set.madeAt.toUTC().toString(Qt::ISODateWithMs)),
                              QVariant(set.bench), QVariant(set.serial), QVariant(Encoded(set.rows)), measurements,
                              QVariant(set.repeats)})
        q.addBindValue(v);
    if (q.exec())
        return true;
    *error = QStringLiteral("%1: the records cannot be added (%2)").arg(path_, q.lastError().text().trimmed());
    return false;
}

QList<RecordSet> Outbox::pending(QString* error)
{
    QList<RecordSet> out;
    if (!open(false, error))
        return out;
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    // The made-at texts are ISO UTC of one width, so text order is time order.
    if (!q.exec(QStringLiteral("SELECT set_id, made_at, bench, serial, records, measurements, repeats FROM pending "
                                "ORDER BY made_at, set_id")))
        *error = QStringLiteral("%1 cannot be read (%2)").arg(path_, q.lastError().text().trimmed());
    while (q.next()) {
        RecordSet set;
        set.setId = q.value(0).toString();
        set.madeAt = QDateTime::fromString(q.value(1).toString(), Qt::ISODateWithMs);
        set.bench = q.value(2).toString();
        set.serial = q.value(3).toString();
        set.repeats = q.value(6).toInt();
        if (!set.madeAt.isValid() || !Decoded(q.value(4).toByteArray(), &set.rows) ||
            (!q.isNull(5) && !Decoded(q.value(5).toByteArray(), &set.measurements))) {
            *error = QStringLiteral("%1: set %2 is damaged and stays there").arg(path_, set.setId);
            continue;
        }
        out.append(set);
    }
    return out;
}

bool Outbox::remove(const QString& setId, QString* error)
{
    if (!open(false, error))
        return false;
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("DELETE FROM pending WHERE set_id = ?"));
    q.addBindValue(setId);
    if (q.exec())
        return true;
    *error = QStringLiteral("%1: a sent set cannot be removed (%2); it will be sent again, harmlessly")
                 .arg(path_, q.lastError().text().trimmed());
    return false;
}

Outbox::Flush Outbox::sendTo(ServerStore& server)
{
    Flush f;
    // A damaged set must still be heard of when the server fails too.
    const auto note = [&f](const QString& why) {
        f.error += (f.error.isEmpty() ? QString() : QStringLiteral("; ")) + why;
    };
    const QList<RecordSet> sets = pending(&f.error);
    f.left = static_cast<int>(sets.size());
    for (const RecordSet& set : sets) {
        QString why;
        const ServerStore::Outcome out = server.put(set, &why);
        if (out == ServerStore::Outcome::Failed) {
            note(why);
            break;
        }
        --f.left;
        ++(out == ServerStore::Outcome::Superseded ? f.superseded : f.sent);
        if (!remove(set.setId, &why))
            note(why);
    }
    return f;
}

} // namespace psucal
