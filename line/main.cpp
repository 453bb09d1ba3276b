// psucal-line: the line's calibration records in a browser, read-only.
#include "db/ServerAddress.h"
#include "line/Access.h"
#include "line/LineRouter.h"
#include "line/LineServer.h"
#include "line/LineStore.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QHostAddress>
#include <QTcpServer>
#include <QTextStream>

#include <cstdio>
#include <optional>

namespace {

constexpr const char* ChartScript = "/usr/share/javascript/chart.js/chart.min.js";

int Fail(const QString& message)
{
    QTextStream(stderr) << "psucal-line: " << message << '\n';
    return 2;
}

// "127.0.0.1:8080", "[::1]:8080" or "0.0.0.0:80".
bool ParseListen(const QString& text, QHostAddress* address, quint16* port)
{
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint p = text.mid(colon + 1).toUInt(&ok);
    if (!ok || p > 65535 || !address->setAddress(host))
        return false;
    *port = static_cast<quint16>(p);
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    // A server has no display; the reports are painted off screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without TZ the C library looks at /etc/localtime again at every time it converts, most of
    // the work of a long drift series; naming that file keeps the same zone and reads it once.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("psucal-line"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PSUCAL_VERSION));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Shows the calibration records of a line in a browser: search, "
                                               "units with their reports, yield and drift. It only reads."));
    p.addHelpOption();
    p.addVersionOption();
    p.addOptions({
        {"database", "Read the line's PostgreSQL server at URL, postgresql://user@host:port/dbname.", "URL"},
        {"dir", "Read the Calibration.dt of one bench in DIR instead.", "DIR"},
        {"listen", "Listen on ADDR:PORT (default 127.0.0.1:8080; port 0 picks a free one).", "ADDR:PORT"},
        {"token-file", "Ask every request for the token in the first line of FILE; needed to listen anywhere but "
                       "on a loopback address.",
         "FILE"},
    });
    p.process(app);
    if (!p.positionalArguments().isEmpty())
        return Fail(QStringLiteral("unexpected argument '%1'; see --help").arg(p.positionalArguments().first()));
    if (p.isSet("database") == p.isSet("dir"))
        return Fail(QStringLiteral("give the records to read: --database URL or --dir DIR"));

    std::optional<psucal::line::LineStore> store;
    if (p.isSet("database")) {
        QString why;
        const psucal::ServerAddress address = psucal::ServerAddress::Parse(p.value("database"), &why);
        if (address.isEmpty())
            return Fail(QStringLiteral("--database: %1").arg(why));
        store.emplace(psucal::line::LineStore::Server(address));
    } else {
        store.emplace(psucal::line::LineStore::Folder(p.value("dir")));
    }

    QHostAddress address(QHostAddress::LocalHost);
    quint16 port = 8080;
    if (p.isSet("listen") && !ParseListen(p.value("listen"), &address, &port))
        return Fail(QStringLiteral("--listen takes ADDR:PORT, such as 127.0.0.1:8080, not '%1'").arg(p.value("listen")));
    psucal::line::Access access;
    if (p.isSet("token-file")) {
        QString why;
        if (!access.load(p.value("token-file"), &why))
            return Fail(why);
    } else if (!address.isLoopback()) {
        return Fail(QStringLiteral("%1 is reachable from other machines: give --token-file FILE so that only "
                                   "those who know its token can read the records")
                        .arg(address.toString()));
    }

    psucal::line::LineRouter router(*store, access, QString::fromLatin1(ChartScript));
    psucal::line::LineServer server(router);
    auto* tcp = new QTcpServer(&server);
    if (!tcp->listen(address, port))
        return Fail(QStringLiteral("cannot listen on %1:%2 (%3)").arg(address.toString()).arg(port).arg(tcp->errorString()));
    server.bind(tcp);
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol ? u'[' + address.toString() + u']'
                                                                            : address.toString();
    QTextStream(stdout) << "psucal-line: " << store->describe() << " on http://" << host << ':' << tcp->serverPort()
                        << "/\n"
                        << Qt::flush;
    return app.exec();
}
