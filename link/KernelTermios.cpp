#include "link/KernelTermios.h"

// The kernel's own layout, which differs from the C library's struct termios.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstring>

namespace psucal {

static_assert(sizeof(struct termios) <= 128);

bool KernelTermios::load(int fd)
{
    struct termios t {};
    if (::ioctl(fd, TCGETS, &t) != 0)
        return false;
    std::memcpy(raw_, &t, sizeof t);
    return true;
}

bool KernelTermios::setVmin(int fd, int count, bool flushInput)
{
    struct termios t {};
    std::memcpy(&t, raw_, sizeof t);
    t.c_cc[VMIN] = static_cast<cc_t>(count);
    if (::ioctl(fd, flushInput ? TCSETSF : TCSETS, &t) != 0)
        return false;
    std::memcpy(raw_, &t, sizeof t);
    return true;
}

} // namespace psucal
