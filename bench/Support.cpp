#include "bench/Support.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace psucal::bench {

double Now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double CpuSeconds(const rusage& u)
{
    auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

Child::~Child()
{
    if (pid_ > 0) {
        signal(SIGKILL);
        reap();
    }
    if (out_ >= 0)
        ::close(out_);
}

bool Child::start(const QString& program, const QStringList& args, const Io& io, QString* error)
{
    int pipeFds[2] = {-1, -1};
    if (io.stdoutFile.isEmpty() && ::pipe2(pipeFds, O_CLOEXEC) != 0) {
        *error = QStringLiteral("pipe: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const QByteArray outPath = io.stdoutFile.toLocal8Bit();
    if (io.stdoutFile.isEmpty())
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (io.quietStderr)
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    std::vector<QByteArray> storage{program.toLocal8Bit()};
    for (const QString& a : args)
        storage.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (pipeFds[1] >= 0)
        ::close(pipeFds[1]);
    out_ = pipeFds[0];
    if (rc != 0) {
        pid_ = -1;
        *error = QStringLiteral("cannot start %1: %2").arg(program, QString::fromLocal8Bit(strerror(rc)));
        return false;
    }
    return true;
}

bool Child::readLine(double timeout, QString* line)
{
    const double deadline = Now() + timeout;
    while (true) {
        const auto nl = buffer_.find('\n');
        if (nl != std::string::npos) {
            *line = QString::fromLocal8Bit(buffer_.substr(0, nl));
            buffer_.erase(0, nl + 1);
            return true;
        }
        const double left = deadline - Now();
        if (out_ < 0 || left <= 0)
            return false;
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left * 1000) + 1) <= 0)
            continue;
        char chunk[4096];
        const ssize_t n = ::read(out_, chunk, sizeof chunk);
        if (n <= 0)
            return false;
        buffer_.append(chunk, static_cast<size_t>(n));
    }
}

void Child::signal(int sig)
{
    if (pid_ > 0)
        ::kill(pid_, sig);
}

int Child::reap(rusage* usage)
{
    if (pid_ <= 0)
        return -1;
    rusage u{};
    int status = 0;
    while (::wait4(pid_, &status, 0, &u) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    if (usage)
        *usage = u;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool Child::ended() const
{
    if (pid_ <= 0)
        return true;
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_;
}

bool Child::waitEnded(double seconds) const
{
    if (pid_ <= 0)
        return true;
    // A pidfd turns readable the moment the child ends, so a run's wall time is not rounded up
    // to the watcher's next look.
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    if (fd < 0) {
        ::usleep(static_cast<useconds_t>(std::max(0.0, seconds) * 1e6));
        return ended();
    }
    pollfd p{fd, POLLIN, 0};
    const timespec limit{static_cast<time_t>(seconds), static_cast<long>((seconds - std::floor(seconds)) * 1e9)};
    while (seconds > 0 && ::ppoll(&p, 1, &limit, nullptr) < 0 && errno == EINTR) {
    }
    ::close(fd);
    return ended();
}

bool Simulator::start(const QString& binDir, const QStringList& args, QString* error, bool wantMeter)
{
    if (!child_.start(binDir + QStringLiteral("/psucal-sim"), args, Child::Io{}, error))
        return false;
    QString line;
    while (port_.isEmpty() || (wantMeter && meterPort_.isEmpty())) {
        if (!child_.readLine(10.0, &line)) {
            *error = QStringLiteral("psucal-sim did not report its %1 port").arg(port_.isEmpty() ? "supply" : "meter");
            return false;
        }
        if (line.startsWith(QStringLiteral("supply ")))
            port_ = line.mid(7).trimmed();
        else if (line.startsWith(QStringLiteral("meter ")))
            meterPort_ = line.mid(6).trimmed();
    }
    return true;
}

rusage Simulator::stop()
{
    rusage u{};
    child_.signal(SIGTERM);
    child_.reap(&u);
    return u;
}

// Frames the unit took off the line, from the simulator's line log ("START END < BYTES"), without
// their carriage returns; when the first one started and the last reply ended, in seconds.
QStringList SentFrames(const QString& lineLog, double* first, double* last)
{
    QStringList frames;
    QFile f(lineLog);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return frames;
    *first = *last = -1;
    QByteArray pending;
    while (!f.atEnd()) {
        const QList<QByteArray> parts = f.readLine().trimmed().split(' ');
        if (parts.size() < 4)
            continue;
        const double start = parts[0].toDouble();
        *last = parts[1].toDouble();
        if (parts[2] != "<")
            continue;
        if (*first < 0)
            *first = start;
        // A frame may come off the line in pieces.
        pending += parts.mid(3).join(' ');
        for (qsizetype cr; (cr = pending.indexOf("\\r")) >= 0; pending.remove(0, cr + 2))
            frames << QString::fromLatin1(pending.left(cr));
    }
    return frames;
}

QString BinDir(const QStringList& args)
{
    for (int i = 1; i < args.size(); ++i) {
        if (args[i].startsWith(u'-')) {
            ++i; // every option of these programs takes a value
            continue;
        }
        if (QFileInfo(args[i]).isDir())
            return QFileInfo(args[i]).absoluteFilePath();
    }
    return QCoreApplication::applicationDirPath();
}

QString Option(const QStringList& args, const QString& name, const QString& fallback)
{
    const qsizetype i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
}

} // namespace psucal::bench
