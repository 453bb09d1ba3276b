// CPU used while SendCommand waits out its time-out on a port that never answers.
#include "bench/Support.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/RealClock.h"
#include "link/SerialTransport.h"
#include "link/SupplyLink.h"

#include <QCoreApplication>

#include <climits>
#include <cstdio>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace psucal;
using namespace psucal::bench;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int waits = 10;
    const double timeout = 1.0;

    termios raw{};
    cfmakeraw(&raw);
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    int master = -1, slave = -1;
    char name[PATH_MAX] = {};
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0) {
        std::perror("bench_waits: openpty");
        return 1;
    }

    QuietHost host;
    BenchUi ui(host);
    BenchState st;
    RealClock clock;
    SerialTransport port(SerialTransport::Settings{9600, 1});
    SupplyLink link(st, ui, clock, port);
    port.setPortName(QString::fromLocal8Bit(name));
    if (!port.open()) {
        std::fprintf(stderr, "bench_waits: cannot open %s\n", name);
        return 1;
    }

    int answered = 0;
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const double t0 = Now();
    for (int i = 0; i < waits; ++i)
        answered += link.SendCommand(QStringLiteral("GETD"), QString(), 12, timeout).isEmpty() ? 0 : 1;
    const double wall = Now() - t0;
    getrusage(RUSAGE_SELF, &after);
    const double cpu = CpuSeconds(after) - CpuSeconds(before);

    port.close();
    ::close(slave);
    ::close(master);

    // Every reply is lost, so each frame after the first waits for a quiet line first.
    const double ideal = waits * timeout + (waits - 1) * SupplyLink::QuietTime;
    std::printf("%d x SendCommand(\"GETD\", \"\", 12, %.1f) on a raw pseudo-terminal nobody answers (port\n"
                "opened beforehand). CPU = user + system time of this process over the calls (getrusage).\n"
                "Ideal = the time-outs plus the %.0f ms of quiet line each frame after a lost reply waits for.\n",
                waits, timeout, SupplyLink::QuietTime * 1000);
    std::printf("waits_cpu: %.4f s (target < 0.01)\n", cpu);
    std::printf("waits_cpu_per_wait: %.5f s\n", cpu / waits);
    std::printf("waits_wall: %.3f s (ideal %.3f s)\n", wall, ideal);
    std::printf("waits_overshoot_per_wait: %.2f ms\n", (wall - ideal) * 1000 / waits);
    std::printf("waits_replies: %d (expected 0)\n", answered);
    return 0;
}
