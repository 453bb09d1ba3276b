#include "wizard/PortList.h"

#include "link/SerialTransport.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace psucal {

namespace {

// What the transport will actually open; a bare name such as "ttyUSB0" lives under /dev.
QString deviceOf(const QString& name)
{
    const QString path = SerialTransport::devicePath(name.trimmed());
    return path.startsWith(u'/') ? path : QStringLiteral("/dev/") + path;
}

bool isUsbOrAcm(const QString& device)
{
    return device.startsWith(u"/dev/ttyUSB") || device.startsWith(u"/dev/ttyACM");
}

// ttyUSB2 before ttyUSB10.
bool naturalLess(const QString& a, const QString& b)
{
    const auto split = [](const QString& s) {
        qsizetype k = s.size();
        while (k > 0 && s[k - 1].isDigit())
            --k;
        return std::pair{s.first(k), s.sliced(k).toULongLong()};
    };
    return split(a) < split(b);
}

void addUnique(QStringList& list, const QString& name)
{
    if (!name.trimmed().isEmpty() && PortList::indexOf(list, name) < 0)
        list << name;
}

} // namespace

QStringList PortList::presentDevices()
{
    QStringList devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        devices << info.systemLocation();
    return devices;
}

QStringList PortList::byIdNames(const QString& dir)
{
    QStringList names;
    for (const QFileInfo& link : QDir(dir).entryInfoList(QDir::System | QDir::Files, QDir::Name))
        names << link.absoluteFilePath();
    return names;
}

QStringList PortList::build(const QStringList& present, const QStringList& given, const QStringList& byId)
{
    QStringList list{QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"), QStringLiteral("COM4")};

    QStringList usb;
    for (const QString& device : present) {
        if (isUsbOrAcm(device))
            usb << device;
    }
    std::sort(usb.begin(), usb.end(), naturalLess);
    QStringList links = byId;
    for (const QString& device : usb) {
        addUnique(list, device);
        for (qsizetype k = 0; k < links.size();)
            if (QFileInfo(links[k]).symLinkTarget() == device)
                addUnique(list, links.takeAt(k));
            else
                ++k;
    }
    for (const QString& link : links)
        addUnique(list, link);

    for (const QString& name : given)
        addUnique(list, name.trimmed());
    return list;
}

int PortList::indexOf(const QStringList& list, const QString& name)
{
    if (name.trimmed().isEmpty())
        return -1;
    for (qsizetype k = 0; k < list.size(); ++k) {
        if (sameDevice(list[k], name))
            return static_cast<int>(k);
    }
    return -1;
}

bool PortList::sameDevice(const QString& a, const QString& b)
{
    return deviceOf(a) == deviceOf(b);
}

} // namespace psucal
