#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace psucal::test {

// A throw-away PostgreSQL cluster in a temporary folder, reachable only through a Unix socket
// there. As root the server runs as the postgres user, which initdb insists on.
class PgCluster {
public:
    // The folder of Debian's postgresql-15 programs; empty when they are not installed.
    static QString BinDir();

    ~PgCluster();

    // initdb and start. `durable` keeps fsync on, for figures that mean something.
    bool create(bool durable, QString* error);
    bool start(QString* error);
    bool stop(QString* error);

    // postgresql://psucal@<socket folder>:5432/postgres, percent-encoded.
    QString url() const;
    // Runs one statement through psql; its output, or empty with `error` set.
    QString psql(const QString& sql, QString* error) const;

private:
    bool run(const QString& program, const QStringList& args, QString* error, QString* output = nullptr) const;

    std::unique_ptr<QTemporaryDir> dir_;
    bool running_ = false;
    bool durable_ = false;
};

} // namespace psucal::test
