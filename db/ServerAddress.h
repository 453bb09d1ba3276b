#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace psucal {

// Where a line keeps its records: postgresql://user@host:port/dbname, as libpq writes it. The
// host may be a socket folder, percent-encoded (%2Fvar%2Frun%2Fpostgresql) or given as ?host=.
// Parts left out take libpq's defaults; a password left out comes from ~/.pgpass or PGPASSWORD.
class ServerAddress {
public:
    // Seconds a connection attempt may take before the records go elsewhere.
    static constexpr int ConnectTimeout = 5;

    // An empty address on failure, with `error` saying what is wrong with the text.
    static ServerAddress Parse(const QString& url, QString* error);

    bool isEmpty() const { return url_.isEmpty(); }
    // The address without its password, for messages.
    QString display() const;

    // A new connection of that name through Qt's PostgreSQL driver, already asked to open:
    // check isOpen(). The caller removes it with QSqlDatabase::removeDatabase.
    QSqlDatabase open(const QString& connectionName) const;

    const QString& host() const { return host_; }
    int port() const { return port_; }
    const QString& user() const { return user_; }
    const QString& databaseName() const { return dbname_; }
    const QStringList& options() const { return options_; }

private:
    bool take(const QString& key, const QString& value, QString* error);

    QString url_;
    QString host_;
    int port_ = -1;
    QString user_;
    QString password_;
    QString dbname_;
    QStringList options_; // further libpq keywords, key=value
};

} // namespace psucal
