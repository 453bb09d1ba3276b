#include "db/ServerAddress.h"

#include <QUrl>

#include <algorithm>

namespace psucal {

namespace {

QString Decoded(QStringView part)
{
    return QUrl::fromPercentEncoding(part.toUtf8());
}

// libpq's own keywords beyond host, port, user, password and dbname that an address may carry.
const QStringList PassedOn = {QStringLiteral("connect_timeout"), QStringLiteral("sslmode"),
                              QStringLiteral("application_name")};

bool Bad(QString* error, const QString& why)
{
    *error = why;
    return false;
}

} // namespace

ServerAddress ServerAddress::Parse(const QString& url, QString* error)
{
    ServerAddress a;
    const auto fail = [&](const QString& why) {
        *error = QStringLiteral("'%1' is not a server address postgresql://user@host:port/dbname: %2").arg(url, why);
        return ServerAddress();
    };
    QStringView rest = QStringView(url).trimmed();
    const qsizetype schemeEnd = rest.indexOf(QLatin1StringView("://"));
    const QStringView scheme = rest.first(std::max<qsizetype>(schemeEnd, 0));
    if (scheme != u"postgresql" && scheme != u"postgres")
        return fail(QStringLiteral("it does not start with postgresql://"));
    a.url_ = rest.toString();
    rest = rest.sliced(schemeEnd + 3);

    QStringView query;
    if (const qsizetype q = rest.indexOf(u'?'); q >= 0) {
        query = rest.sliced(q + 1);
        rest = rest.first(q);
    }
    QStringView authority = rest;
    if (const qsizetype slash = rest.indexOf(u'/'); slash >= 0) {
        authority = rest.first(slash);
        a.dbname_ = Decoded(rest.sliced(slash + 1));
    }
    if (const qsizetype at = authority.lastIndexOf(u'@'); at >= 0) {
        const QStringView userinfo = authority.first(at);
        const qsizetype colon = userinfo.indexOf(u':');
        a.user_ = Decoded(userinfo.first(colon >= 0 ? colon : userinfo.size()));
        if (colon >= 0)
            a.password_ = Decoded(userinfo.sliced(colon + 1));
        authority = authority.sliced(at + 1);
    }
    QStringView port;
    if (authority.startsWith(u'[')) { // [IPv6]:port
        const qsizetype close = authority.indexOf(u']');
        if (close < 0)
            return fail(QStringLiteral("the host's ']' is missing"));
        a.host_ = authority.sliced(1, close - 1).toString();
        authority = authority.sliced(close + 1);
        if (!authority.isEmpty() && !authority.startsWith(u':'))
            return fail(QStringLiteral("'%1' follows the host").arg(authority));
        port = authority.isEmpty() ? QStringView() : authority.sliced(1);
    } else {
        const qsizetype colon = authority.lastIndexOf(u':');
        a.host_ = Decoded(colon >= 0 ? authority.first(colon) : authority);
        port = colon >= 0 ? authority.sliced(colon + 1) : QStringView();
    }
    if (!port.isEmpty() && !a.take(QStringLiteral("port"), port.toString(), error))
        return fail(*error);
    for (const QStringView item : query.split(u'&', Qt::SkipEmptyParts)) {
        const qsizetype eq = item.indexOf(u'=');
        if (eq <= 0)
            return fail(QStringLiteral("'%1' in the query is not name=value").arg(item));
        if (!a.take(Decoded(item.first(eq)), Decoded(item.sliced(eq + 1)), error))
            return fail(*error);
    }
    return a;
}

bool ServerAddress::take(const QString& key, const QString& value, QString* error)
{
    if (key == QLatin1String("port")) {
        bool ok = false;
        port_ = value.toInt(&ok);
        if (ok && port_ > 0 && port_ < 65536)
            return true;
        return Bad(error, QStringLiteral("port '%1' is not a number 1..65535").arg(value));
    }
    QString* field = key == QLatin1String("host")       ? &host_
                     : key == QLatin1String("user")     ? &user_
                     : key == QLatin1String("password") ? &password_
                     : key == QLatin1String("dbname")   ? &dbname_
                                                        : nullptr;
    if (field) {
        *field = value;
        return true;
    }
    if (!PassedOn.contains(key))
        return Bad(error, QStringLiteral("'%1' is not one of host, port, user, password, dbname, %2")
                              .arg(key, PassedOn.join(QStringLiteral(", "))));
    // The driver turns ';' into a separator; a blank would end the value.
    if (value.contains(u';') || value.contains(u' ') || value.contains(u'\''))
        return Bad(error, QStringLiteral("%1 '%2' holds a blank, ';' or a quote").arg(key, value));
    options_ << key + u'=' + value;
    return true;
}

QString ServerAddress::display() const
{
    QString shown = QStringLiteral("postgresql://");
    if (!user_.isEmpty())
        shown += user_ + u'@';
    shown += host_.contains(u':') && !host_.startsWith(u'/') ? u'[' + host_ + u']' : host_;
    if (port_ > 0)
        shown += u':' + QString::number(port_);
    return shown + u'/' + dbname_;
}

QSqlDatabase ServerAddress::open(const QString& connectionName) const
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    db.setHostName(host_);
    if (port_ > 0)
        db.setPort(port_);
    db.setUserName(user_);
    db.setPassword(password_);
    db.setDatabaseName(dbname_);
    QStringList options = options_;
    if (!options.join(u' ').contains(QLatin1String("connect_timeout=")))
        options << QStringLiteral("connect_timeout=%1").arg(ConnectTimeout);
    if (!options.join(u' ').contains(QLatin1String("application_name=")))
        options << QStringLiteral("application_name=psucal");
    // A server that vanishes mid-store must not hold the bench for a TCP time-out of minutes.
    // A lock or statement that waits this long means a server in trouble: the outbox is better.
    options << QStringLiteral("options='-c statement_timeout=20000 -c client_min_messages=warning'");
    options << QStringLiteral("tcp_user_timeout=15000") << QStringLiteral("keepalives_idle=10")
            << QStringLiteral("keepalives_interval=5") << QStringLiteral("keepalives_count=2");
    db.setConnectOptions(options.join(u';'));
    if (db.isValid())
        db.open();
    return db;
}

} // namespace psucal
