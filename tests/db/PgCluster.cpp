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
const char* const User = "psucal";
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
        run(QStringLiteral("pg_ctl"), {QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("stop")},
            &ignored);
}

bool PgCluster::run(const QString& program, const QStringList& args, QString* error, QString* output) const
{
    QStringList argv{BinDir() + u'/' + program};
    if (program == QLatin1String("pg_ctl") || program == QLatin1String("initdb"))
        argv << QStringLiteral("-D") << dir_->filePath(QStringLiteral("data"));
    argv << args;
    QString exe = argv.takeFirst();
    if (geteuid() == 0) { // the server refuses to run as root
        argv = QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), exe} + argv;
        exe = QStringLiteral("runuser");
    }
    QProcess p;
    p.setWorkingDirectory(dir_->path());
    p.start(exe, argv);
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
    if (geteuid() == 0) {
        const passwd* pg = getpwnam("postgres");
        if (!pg || chown(QFile::encodeName(dir_->path()).constData(), pg->pw_uid, pg->pw_gid) != 0) {
            *error = QStringLiteral("the postgres user cannot own %1").arg(dir_->path());
            return false;
        }
    }
    return run(QStringLiteral("initdb"),
               {QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-U"), QString::fromLatin1(User),
                QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"),
                QStringLiteral("--no-sync")},
               error) &&
           start(error);
}

bool PgCluster::start(QString* error)
{
    QString options = QStringLiteral("-c listen_addresses='' -k %1 -p %2").arg(dir_->path()).arg(Port);
    if (!durable_)
        options += QStringLiteral(" -c fsync=off -c synchronous_commit=off -c full_page_writes=off");
    running_ = run(QStringLiteral("pg_ctl"),
                   {QStringLiteral("-w"), QStringLiteral("-l"), dir_->filePath(QStringLiteral("log")),
                    QStringLiteral("-o"), options, QStringLiteral("start")},
                   error);
    return running_;
}

bool PgCluster::stop(QString* error)
{
    running_ =
        !run(QStringLiteral("pg_ctl"),
             {QStringLiteral("-w"), QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("stop")}, error);
    return !running_;
}

QString PgCluster::url() const
{
    // The encoded folder holds "%2F": it must not pass through arg().
    return QStringLiteral("postgresql://%1@").arg(QLatin1String(User)) +
           QString::fromLatin1(QUrl::toPercentEncoding(dir_->path())) + QStringLiteral(":%1/postgres").arg(Port);
}

QString PgCluster::psql(const QString& sql, QString* error) const
{
    QString out;
    run(QStringLiteral("psql"),
        {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"), QStringLiteral("-t"), QStringLiteral("-v"),
         QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), dir_->path(), QStringLiteral("-p"),
         QString::number(Port), QStringLiteral("-U"), QString::fromLatin1(User), QStringLiteral("-d"),
         QStringLiteral("postgres"), QStringLiteral("-c"), sql},
        error, &out);
    return out;
}

} // namespace psucal::test
