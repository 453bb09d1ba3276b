// The reference client the bench runs beside psucal: it replays a recalibration's frames on a
// supply port and reads each reply the plain way, as its bytes arrive (poll, then read, for
// every arrival). Between a reply and the next frame it waits what the run waited there. So
// it differs from psucal only in how it reads, and shows what a line gives to a client that
// watches it.
//
//   bench_client PORT SCRIPT
//
// SCRIPT has one exchange a line: "COUNT LIMIT GAP FRAME", the characters awaited, the
// seconds after the frame when a wait gives up, the seconds from the end of the wait to the
// next frame, and the frame without its carriage return. Prints how many replies came short.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

struct Step {
    long count = 0;
    double limit = 0;
    double gap = 0;
    std::string frame;
};

timespec At(double seconds)
{
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>((seconds - static_cast<double>(ts.tv_sec)) * 1e9);
    return ts;
}

double Now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

bool Load(const char* path, std::vector<Step>* steps)
{
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        Step s;
        if (fields >> s.count >> s.limit >> s.gap >> s.frame)
            steps->push_back(s);
    }
    return !steps->empty();
}

int Open(const char* path)
{
    const int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    if (fd < 0 || ::tcgetattr(fd, &tio) != 0)
        return -1;
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return ::tcsetattr(fd, TCSANOW, &tio) == 0 ? fd : -1;
}

// Every arrival read as it comes, until `count` are in or the limit has passed.
long Await(int fd, long count, double until)
{
    long got = 0;
    char buffer[4096];
    while (got < count) {
        const double left = until - Now();
        if (left <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        const timespec wait = At(left);
        if (::ppoll(&p, 1, &wait, nullptr) <= 0)
            continue;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            got += n;
        else if (n == 0 || errno != EAGAIN)
            break;
    }
    return got;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<Step> steps;
    if (argc != 3 || !Load(argv[2], &steps)) {
        std::fprintf(stderr, "usage: bench_client PORT SCRIPT\n");
        return 2;
    }
    const int fd = Open(argv[1]);
    if (fd < 0) {
        std::fprintf(stderr, "bench_client: %s: %s\n", argv[1], std::strerror(errno));
        return 2;
    }
    // Waits as exact as psucal's, so that only the reading differs.
    ::prctl(PR_SET_TIMERSLACK, 1UL);
    long short_ = 0;
    for (const Step& s : steps) {
        ::tcflush(fd, TCIOFLUSH);
        const std::string frame = s.frame + '\r';
        const double sent = Now();
        if (::write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) {
            std::fprintf(stderr, "bench_client: cannot send\n");
            return 2;
        }
        if (Await(fd, s.count, sent + s.limit) < s.count)
            ++short_;
        if (s.gap > 0) {
            const timespec until = At(Now() + s.gap);
            while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
            }
        }
    }
    std::printf("client_exchanges: %zu\nclient_short_replies: %ld\n", steps.size(), short_);
    return 0;
}
