#include "terminal/Prompt.h"

#include "core/BenchUi.h"

#include <QEventLoop>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace psucal {

bool AskToShortTerminals(bool yes, int fd, const BenchUi& ui)
{
    if (yes)
        return true;
    std::fprintf(stderr, "Short the output terminals, then press Enter (Ctrl-C ends the run) ... ");
    std::fflush(stderr);
    if (WaitForEnter(fd))
        return true;
    ui.throwIfEnding();
    std::fprintf(stderr, "\nNo answer at the prompt; the current step was not run (use --yes to run without a "
                         "prompt).\n");
    return false;
}

bool WaitForEnter(int fd)
{
    // A notifier on a closed descriptor never fires: the prompt would wait for ever.
    if (::fcntl(fd, F_GETFD) == -1)
        return false;
    QEventLoop loop;
    QSocketNotifier notifier(fd, QSocketNotifier::Read);
    bool gotLine = false;
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
        char c;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (n <= 0) {
            loop.quit();
        } else if (c == '\n') {
            gotLine = true;
            loop.quit();
        }
    });
    loop.exec();
    return gotLine;
}

void KeepStandardStreamsOpen()
{
    // open() takes the lowest free number, so going upwards fills exactly the closed ones.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    }
}

} // namespace psucal
