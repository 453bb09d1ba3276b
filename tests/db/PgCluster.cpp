#include "tests/db/PgCluster.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include <pwd.h>
#include <unistd.h>

namespace psucal::test {

namespace {
constexpr int Port = 5432;
} // namespace

QString PgCluster::BinDir()
{
    const QString dir = QStringLiteral("/usr/lib/postgresql/15/bin");
    for (const char* tool : {"initdb", "pg_ctl", "postgres", "psql"})
        if (!QFileInfo(dir + u'/' + QLatin1String(tool)).isExecutable())
            return QString();
    return dir;
}

PgCluster::~PgCluster()
{
    QString ignored;
    if (running_)
        run(QStringLiteral("pg_ctl"), {"-m", "immediate", "stop"}, &ignored);
}

bool PgCluster::run(const QString& program, const QStringList& args, QString* error, QString* output) const
{
    QStringList argv{BinDir() + u'/' + program};
    if (program != QLatin1String("psql"))
        argv << QStringLiteral("-D") << dir_->filePath(QStringLiteral("data"));
    argv << args;
    if (geteuid() == 0) // the server refuses to run as root
        argv = QStringList{"runuser", "-u", "postgres", "--"} + argv;
    QProcess p;
    p.setWorkingDirectory(dir_->path());
    p.start(argv.takeFirst(), argv);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *error = QStringLiteral("%1 failed: %2%3").arg(program, p.readAllStandardError(), p.errorString());
        return false;
    }
    if (output)
        *output = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    return true;
}

bool PgCluster::create(bool durable, QString* error)
{
    durable_ = durable;
    dir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/pg-XXXXXX"));
    const passwd* pg = geteuid() == 0 ? getpwnam("postgres") : nullptr;
    if (pg && chown(QFile::encodeName(dir_->path()).constData(), pg->pw_uid, pg->pw_gid) != 0) {
        *error = QStringLiteral("the postgres user cannot own %1").arg(dir_->path());
        return false;
    }
    return run(QStringLiteral("initdb"), {"-A", "trust", "-U", "psucal", "-E", "UTF8", "--locale=C.UTF-8", "--no-sync"},
               error) &&
           start(error);
}

bool PgCluster::start(QString* error)
{
    QString options = QStringLiteral("-c listen_addresses='' -k %1 -p %2").arg(dir_->path()).arg(Port);
    if (!durable_)
        options += QStringLiteral(" -c fsync=off -c synchronous_commit=off -c full_page_writes=off");
    running_ = run(QStringLiteral("pg_ctl"),
                   {"-w", "-l", dir_->filePath(QStringLiteral("log")), "-o", options, "start"}, error);
    return running_;
}

bool PgCluster::stop(QString* error)
{
    running_ = !run(QStringLiteral("pg_ctl"), {"-w", "-m", "fast", "stop"}, error);
    return !running_;
}

QString PgCluster::url() const
{
    // The encoded folder holds "%2F": it must not pass through arg().
    return QStringLiteral("postgresql://psucal@") + QString::fromLatin1(QUrl::toPercentEncoding(dir_->path())) +
           QStringLiteral(":%1/postgres").arg(Port);
}

QString PgCluster::psql(const QString& sql, QString* error) const
{
    QString out;
    run(QStringLiteral("psql"),
        {"-X", "-qAt", "-v", "ON_ERROR_STOP=1", "-h", dir_->path(), "-p", QString::number(Port), "-U", "psucal", "-d",
         "postgres", "-c", sql},
        error, &out);
    return out;
}

} // namespace psucal::test
