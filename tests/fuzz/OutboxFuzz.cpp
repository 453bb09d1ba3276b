#include "db/Outbox.h"
#include "tests/fuzz/Fuzz.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace psucal;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

// The input is one stored set as the outbox file may hold it after a crash or a bad disk:
// made-at text, a NUL, then the records column.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QByteArray bytes = fuzz::Bytes(data, size);
    const qsizetype nul = bytes.indexOf('\0');
    const QString madeAt = QString::fromUtf8(nul >= 0 ? bytes.left(nul) : QByteArray("2026-03-14T10:00:00.000Z"));
    const QByteArray records = nul >= 0 ? bytes.mid(nul + 1) : bytes;

    Outbox box(dir.path());
    QString error;
    for (const RecordSet& old : box.pending(&error))
        box.remove(old.setId, &error);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fuzz"));
        db.setDatabaseName(box.path());
        FUZZ_CHECK(db.open());
        QSqlQuery q(db);
        q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS pending (set_id TEXT PRIMARY KEY, made_at TEXT NOT NULL, "
                              "bench TEXT, serial TEXT, records TEXT NOT NULL)"));
        q.exec(QStringLiteral("DELETE FROM pending"));
        q.prepare(QStringLiteral(
            "INSERT INTO pending (set_id, made_at, bench, serial, records) VALUES ('fuzz', ?, 'bench', 'S1', ?)"));
        q.addBindValue(madeAt);
        q.addBindValue(QString::fromUtf8(records));
        FUZZ_CHECK(q.exec());
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fuzz"));

    error.clear();
    const QList<RecordSet> sets = Outbox(dir.path()).pending(&error);
    FUZZ_CHECK(sets.size() <= 1);
    // A set is either given whole or said to be damaged; never both, never silently dropped.
    FUZZ_CHECK(sets.isEmpty() != error.isEmpty());
    if (sets.isEmpty())
        return 0;
    const RecordSet set = sets.first();
    FUZZ_CHECK(set.setId == QLatin1String("fuzz") && set.madeAt.isValid());
    // Stored again and read back, it is the same set.
    Outbox again(dir.path());
    FUZZ_CHECK(again.remove(set.setId, &error) && again.add(set, &error));
    const QList<RecordSet> back = again.pending(&error);
    FUZZ_CHECK(back.size() == 1 && back.first().rows == set.rows && back.first().madeAt == set.madeAt);
    return 0;
}
