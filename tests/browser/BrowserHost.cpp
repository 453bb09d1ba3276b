// Runs the browser tests: a throw-away PostgreSQL cluster filled by the benches' own store code,
// psucal-line on a free loopback port behind a token, then node's test runner with Playwright.
#include "db/ServerStore.h"
#include "report/ReportRows.h"
#include "tests/db/PgCluster.h"
#include "tests/report/ReportFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace psucal;

namespace {

const QString Serial = QStringLiteral("LN-4711");
const QString Hostile = QStringLiteral("<svg onload=f()>");
const QByteArray Token = "line-token-0123456789";

int Fail(const QString& why)
{
    std::fprintf(stderr, "line_browser: %s\n", qPrintable(why));
    return 1;
}

bool Fill(const QString& url, QString* error)
{
    ServerStore store(ServerAddress::Parse(url, error));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto put = [&](const QString& serial, bool pass, const QString& bench, int hoursAgo) {
        test::Report r(10, serial);
        r.data.AllPass = pass;
        RecordSet set;
        if (!ReportRows::MakeSet(r.data, &set, error))
            return false;
        set.bench = bench;
        set.madeAt = now.addSecs(-3600 * hoursAgo);
        return store.put(set, error) != ServerStore::Outcome::Failed;
    };
    for (int i = 0; i < 30; ++i)
        if (!put(QStringLiteral("LN-%1").arg(1000 + i), i % 7 != 0, QStringLiteral("bench-%1").arg(i % 3), i * 5))
            return false;
    return put(Serial, false, QStringLiteral("bench-1"), 30) && put(Serial, true, QStringLiteral("bench-2"), 2) &&
           put(Hostile, true, QStringLiteral("bench-0"), 1);
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QString tests = QStringLiteral(BROWSER_TESTS_DIR);
    if (!QFileInfo::exists(tests + QStringLiteral("/node_modules/playwright-core/package.json")))
        return Fail(QStringLiteral("playwright-core is not installed in %1: run scripts/install-deps").arg(tests));
    if (!QFileInfo(QStringLiteral("/usr/bin/chromium")).isExecutable())
        return Fail(QStringLiteral("/usr/bin/chromium is missing: run scripts/install-deps"));
    if (test::PgCluster::BinDir().isEmpty())
        return Fail(QStringLiteral("PostgreSQL 15 is missing: run scripts/install-deps"));

    QString error;
    test::PgCluster cluster;
    if (!cluster.create(false, &error) || !Fill(cluster.url(), &error))
        return Fail(error);
    QTemporaryDir dir;
    QFile token(dir.filePath(QStringLiteral("token")));
    if (!token.open(QIODevice::WriteOnly) || token.write(Token + '\n') < 0)
        return Fail(QStringLiteral("cannot write the token file"));
    token.close();

    QProcess line;
    line.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    line.start(QStringLiteral(PSUCAL_LINE_PATH), {"--database", cluster.url(), "--listen", "127.0.0.1:0",
                                                  "--token-file", token.fileName()});
    if (!line.waitForReadyRead(20000))
        return Fail(QStringLiteral("psucal-line did not start"));
    const QByteArray banner = line.readLine().trimmed();
    const QByteArray address = banner.mid(banner.indexOf("http://")).chopped(1);

    QProcess node;
    node.setProcessChannelMode(QProcess::ForwardedChannels);
    node.setWorkingDirectory(tests);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LINE_URL"), QString::fromUtf8(address));
    env.insert(QStringLiteral("LINE_TOKEN"), QString::fromLatin1(Token));
    env.insert(QStringLiteral("LINE_SERIAL"), Serial);
    env.insert(QStringLiteral("LINE_HOSTILE"), Hostile);
    node.setProcessEnvironment(env);
    node.start(QStringLiteral("node"), {"--test", "--test-reporter=tap", "line.test.mjs"});
    const bool finished = node.waitForFinished(120000);
    line.terminate();
    line.waitForFinished(5000);
    if (!finished)
        return Fail(QStringLiteral("the browser tests did not finish in two minutes"));
    return node.exitStatus() == QProcess::NormalExit ? node.exitCode() : 1;
}
