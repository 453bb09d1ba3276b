#pragma once

#include <QString>
#include <QStringList>

namespace psucal {

// The names a port selector offers: "COM1".."COM4" (the transport maps them to /dev/ttyS0..3),
// then the USB and ACM serial devices present, then their names under /dev/serial/by-id (which
// stay the same when a hub of adapters is plugged in again), then ports named on the command line.
class PortList {
public:
    static inline const QString ById = QStringLiteral("/dev/serial/by-id/");
    // Device paths of every serial port the system reports, unfiltered.
    static QStringList presentDevices();

    // `present` as presentDevices() gives it; `given` as typed by the operator. Entries that name
    // the same device appear once, at their first place.
    static QStringList build(const QStringList& present, const QStringList& given);

    // Index of the entry naming the same device as `name` ("/dev/ttyS2" finds "COM3"); -1 if none.
    static int indexOf(const QStringList& list, const QString& name);

    static bool sameDevice(const QString& a, const QString& b);
};

} // namespace psucal
