#pragma once

#include "core/BenchUi.h"

#include <QString>
#include <QStringList>

#include <string>
#include <sys/resource.h>
#include <sys/types.h>
#include <vector>

namespace psucal::bench {

// A front end nobody looks at: the benchmarks only want the procedures' timing.
class QuietHost : public BenchUiHost {
public:
    int textWidth(const QString& text, FontStyle) const override { return 100 * static_cast<int>(text.size()); }
    void uiChanged() override {}
    void messageBox(const QString&) override {}
    bool askRetry(const QString&) override { return false; }
    void programEnded(int) override {}
};

// Monotonic seconds.
double Now();
double CpuSeconds(const rusage& u);

// The value a fraction `p` of the sorted figures lies below: the upper middle one for 0.5.
double Percentile(std::vector<double> v, double p);
// The middle figure; the mean of the two middle ones when the count is even.
double Median(std::vector<double> v);

// A child process with its standard output on a pipe (or in a file), its input at /dev/null.
class Child {
public:
    struct Io {
        QString stdoutFile; // empty: a pipe that readLine() reads
        bool quietStderr = false;
    };
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child();

    bool start(const QString& program, const QStringList& args, const Io& io, QString* error);
    // One line of output without its end, or false after `timeout` seconds or at end of output.
    bool readLine(double timeout, QString* line);
    void signal(int sig);
    // Waits for the end; the exit status (128 + signal when killed) and the child's resources.
    int reap(rusage* usage = nullptr);
    // Whether it has ended, without reaping it: its /proc entry stays readable until reap().
    bool ended() const;
    // Sleeps until it ends or `seconds` have passed, whichever is first; whether it has ended.
    bool waitEnded(double seconds) const;
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
};

// psucal-sim on a pseudo-terminal; the ports it reports.
class Simulator {
public:
    // With `wantMeter`, the meter's port is awaited after the supply's.
    bool start(const QString& binDir, const QStringList& args, QString* error, bool wantMeter = false);
    QString port() const { return port_; }
    QString meterPort() const { return meterPort_; }
    // Ends it; returns its resources.
    rusage stop();

private:
    Child child_;
    QString port_;
    QString meterPort_;
};

// Frames the unit took off the line, from psucal-sim's line log ("START END < BYTES"), without
// their carriage returns; when the first one started and the last reply ended, in seconds.
QStringList SentFrames(const QString& lineLog, double* first, double* last);

// Where psucal and psucal-sim are: the first argument that is a folder, else beside this program.
QString BinDir(const QStringList& args);
// The value after `--name`, or `fallback`.
QString Option(const QStringList& args, const QString& name, const QString& fallback);

} // namespace psucal::bench
