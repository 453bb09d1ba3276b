#pragma once

#include <QString>

namespace psucal {

// A USB serial adapter holds the bytes it receives until its latency timer runs out (16 ms by
// default on FTDI chips): up to that much on every reply. The driver's low-latency flag sets the
// timer to 1 ms where the driver takes it.
namespace lowlatency {

// Sets the flag on the open tty `fd`, the device `path` (symbolic links followed), and checks
// the adapter's latency timer under `sysfsTty` (/sys/class/tty). Returns what the operator should
// be told when replies will still be held back: the fix, as a command. Empty when all is well,
// or when the port is no adapter (a pseudo-terminal, a plain UART without such a timer).
QString Apply(int fd, const QString& path, const QString& sysfsTty = QStringLiteral("/sys/class/tty"));

} // namespace lowlatency
} // namespace psucal
