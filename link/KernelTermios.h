#pragma once

namespace psucal {

// A tty's settings as the kernel keeps them. Changing VMIN through them is one call, where the C
// library's tcsetattr reads the settings back before and after.
class KernelTermios {
public:
    // Reads the settings of `fd`; false when it is no tty.
    bool load(int fd);
    // Sets VMIN, dropping unread input first with `flushInput`.
    bool setVmin(int fd, int count, bool flushInput);

private:
    alignas(8) unsigned char raw_[128] = {};
};

} // namespace psucal
