#include "db/Database.h"

#include <QFile>
#include <QProcess>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace psucal;

namespace {

QVariant Scalar(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    return q.exec(sql) && q.next() ? q.value(0) : QVariant();
}

QByteArray Bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Prepares Calibration.dt as raw bytes, or through a connection of its own closed before the test.
void Prepare(const QString& dir, const QByteArray& bytes, const QStringList& statements = {})
{
    if (statements.isEmpty()) {
        QFile f(dir + "/Calibration.dt");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        return;
    }
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase("QSQLITE", "prepare");
        raw.setDatabaseName(dir + "/Calibration.dt");
        ASSERT_TRUE(raw.open());
        QSqlQuery q(raw);
        for (const QString& s : statements)
            ASSERT_TRUE(q.exec(s)) << s.toStdString();
    }
    QSqlDatabase::removeDatabase("prepare");
}

} // namespace

TEST(Database, AMissingFileIsCreatedWithAWholeTb1RollbackJournalAndBusyTimeout)
{
    QTemporaryDir dir;
    Database db(dir.path());
    ASSERT_TRUE(db.usable()) << db.error().toStdString();
    EXPECT_TRUE(Bytes(dir.path() + "/Calibration.dt").startsWith(QByteArray("SQLite format 3\0", 16)));
    EXPECT_EQ(Scalar(db.connection(), "SELECT count(*) || ' ' || min(ID) || '-' || max(ID) FROM TB1"), "160 0-159");
    EXPECT_EQ(Scalar(db.connection(), "PRAGMA journal_mode").toString(), "delete");
    EXPECT_EQ(Scalar(db.connection(), "PRAGMA busy_timeout").toInt(), 60000);
    // A cell holds two characters at most.
    EXPECT_FALSE(QSqlQuery(db.connection()).exec("UPDATE TB1 SET Cell1 = '123' WHERE ID = 3"));

    // A second object on the same file has a connection of its own.
    Database second(dir.path());
    EXPECT_TRUE(second.usable() && second.connection().connectionName() != db.connection().connectionName());
}

TEST(Database, AnIncompleteTb1IsCompletedAndKeepsWhatItHeld)
{
    QTemporaryDir dir;
    Prepare(dir.path(), {},
            {"CREATE TABLE TB1 (ID INTEGER PRIMARY KEY, Cell1 TEXT, Cell2 TEXT, Cell3 TEXT, Cell4 TEXT)",
             "INSERT INTO TB1 VALUES (5, '12', '34', '56', '78')", "INSERT INTO TB1 (ID) VALUES (0)"});
    Database db(dir.path());
    ASSERT_TRUE(db.usable()) << db.error().toStdString();
    EXPECT_EQ(Scalar(db.connection(), "SELECT count(*) FROM TB1").toInt(), 160);
    EXPECT_EQ(Scalar(db.connection(), "SELECT Cell1 || Cell2 || Cell3 || Cell4 FROM TB1 WHERE ID = 5").toString(),
              "12345678");
}

TEST(Database, AFileItCannotUseIsLeftAsItIsAndNamedInTheMessage)
{
    struct Case {
        const char* what;
        QByteArray bytes;
        QStringList statements;
    };
    const Case cases[] = {
        {"a database of another kind", QByteArray("\0\1\0\0Standard Jet DB\0", 20) + QByteArray(2000, 1), {}},
        {"a damaged SQLite file", QByteArray("SQLite format 3\0", 16) + QByteArray(4096, 'Z'), {}},
        {"a TB1 of another layout", {}, {"CREATE TABLE TB1 (Row INTEGER, Data TEXT)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const QString path = dir.path() + "/Calibration.dt";
        Prepare(dir.path(), c.bytes, c.statements);
        const QByteArray before = Bytes(path);
        {
            Database db(dir.path());
            EXPECT_FALSE(db.usable());
            EXPECT_TRUE(db.error().contains(path) && db.error().contains("not available")) << db.error().toStdString();
        }
        EXPECT_EQ(Bytes(path), before);
    }
}

// Eight programs on one new Calibration.dt at once: each creates it if it must, draws a
// certificate number and stores a unit, over and over. None waits in vain, none loses a record,
// and no number is drawn twice.
TEST(Database, EightProgramsStoringIntoOneFileAtOnceLoseNothing)
{
    constexpr int Workers = 8, Stores = 15;
    QTemporaryDir dir;
    std::vector<std::unique_ptr<QProcess>> workers;
    for (int w = 0; w < Workers; ++w) {
        workers.push_back(std::make_unique<QProcess>());
        workers.back()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        workers.back()->start(STORE_WORKER_PATH, {dir.path(), QString::number(w), QString::number(Stores)});
    }
    QStringList numbers;
    for (auto& w : workers) {
        ASSERT_TRUE(w->waitForFinished(60000));
        EXPECT_EQ(w->exitCode(), 0);
        numbers += QString::fromLatin1(w->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }
    EXPECT_EQ(numbers.size(), Workers * Stores);
    EXPECT_EQ(QSet<QString>(numbers.begin(), numbers.end()).size(), Workers * Stores);
    Database db(dir.path());
    EXPECT_EQ(Scalar(db.connection(), "SELECT count(DISTINCT SN) || ' ' || count(*) FROM report").toString(),
              QStringLiteral("%1 %2").arg(Workers * Stores).arg(Workers * Stores * 5));
}
