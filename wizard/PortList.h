#pragma once

#include <QString>
#include <QStringList>

namespace psucal {

// The names a port selector offers: "COM1".."COM4" (the transport maps them to /dev/ttyS0..3),
// then the USB and ACM serial devices present, each followed by its stable names under
// /dev/serial/by-id, then ports named on the command line.
class PortList {
public:
    // Device paths of every serial port the system reports, unfiltered.
    static QStringList presentDevices();
    // The links in `dir` (/dev/serial/by-id), by their full path: an adapter keeps its name
    // there however the hub enumerates it.
    static QStringList byIdNames(const QString& dir = QStringLiteral("/dev/serial/by-id"));

    // `present` as presentDevices() gives it; `given` as typed by the operator. Entries that name
    // the same device appear once, at their first place.
    static QStringList build(const QStringList& present, const QStringList& given,
                             const QStringList& byId);

    // Index of the entry naming the same device as `name` ("/dev/ttyS2" finds "COM3"); -1 if none.
    static int indexOf(const QStringList& list, const QString& name);

    static bool sameDevice(const QString& a, const QString& b);
};

} // namespace psucal
