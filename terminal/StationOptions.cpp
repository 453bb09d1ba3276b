#include "terminal/StationOptions.h"

#include "link/SerialTransport.h"
#include "terminal/CommandLine.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace psucal {

namespace {

// Where a port leads, so that a by-id name and the tty it points to count as one port.
QString Device(const QString& port)
{
    const QFileInfo info(SerialTransport::devicePath(port));
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

QString CheckPorts(const QStringList& ports)
{
    for (qsizetype i = 0; i < ports.size(); ++i)
        for (qsizetype j = 0; j < i; ++j) {
            if (Device(ports[i]) == Device(ports[j]))
                return QStringLiteral("--supply-port %1 and %2 are the same port").arg(ports[j], ports[i]);
            if (PortShortName(ports[i]) == PortShortName(ports[j]))
                return QStringLiteral("--supply-port %1 and %2 are both called %3; their units' files would "
                                      "take one name")
                    .arg(ports[j], ports[i], PortShortName(ports[i]));
        }
    return QString();
}

} // namespace

QString StationCombinations(const QCommandLineParser& p, Options& o)
{
    if (!o.station) {
        if (o.supplyPorts.size() > 1)
            return QStringLiteral("--supply-port is given %1 times; several units at once need --station")
                .arg(o.supplyPorts.size());
        if (o.simModels.size() > 1)
            return QStringLiteral("--simulate takes one rating; a list of ratings goes with --station");
        if (p.isSet("units"))
            return QStringLiteral("--units goes with --simulate and --station");
        if (!o.eventsFile.isEmpty() && !o.terminal())
            return QStringLiteral("--events goes with --batch, --restore or --station");
        return QString();
    }
    if (o.runMode != 3)
        return QStringLiteral("A station recalibrates (run mode 3); verify units one at a time.");
    for (const char* name : {"restore", "meter-port"})
        if (p.isSet(name))
            return QStringLiteral("--station recalibrates without a meter or a backup to restore; leave out --%1")
                .arg(QLatin1String(name));
    if (o.eventsFile == u"-")
        return QStringLiteral("--station writes one events file per unit; give --events a file name, not -");
    if (p.isSet("units")) {
        bool ok = false;
        const int units = p.value("units").toInt(&ok);
        if (!ok || units < 1 || units > Options::MaxStationUnits)
            return QStringLiteral("--units takes 1 to %1, not '%2'").arg(Options::MaxStationUnits).arg(p.value("units"));
        if (!o.simulate)
            return QStringLiteral("--units goes with --simulate");
        if (o.simModels.size() > 1 && o.simModels.size() != units)
            return QStringLiteral("--units %1 and --simulate with %2 ratings disagree").arg(units).arg(o.simModels.size());
        while (o.simModels.size() < units)
            o.simModels << o.simModels.first();
    }
    if (o.simulate && !o.supplyPorts.isEmpty())
        return QStringLiteral("--simulate starts the station's units; leave out --supply-port");
    const qsizetype units = o.simulate ? o.simModels.size() : o.supplyPorts.size();
    if (units > Options::MaxStationUnits)
        return QStringLiteral("a station takes at most %1 units, not %2").arg(Options::MaxStationUnits).arg(units);
    if (o.batch && units == 0)
        return QStringLiteral("--station --batch needs a --supply-port for each unit");
    return CheckPorts(o.supplyPorts);
}

QString PortShortName(const QString& port)
{
    const QString name = QFileInfo(port).fileName();
    return name.isEmpty() ? port : name;
}

QString PerUnitFileName(const QString& file, const QString& name)
{
    const QFileInfo info(file);
    const QString base = info.fileName();
    const qsizetype dot = base.lastIndexOf(u'.');
    const QString named = dot > 0 ? base.left(dot) + u'.' + name + base.mid(dot) : base + u'.' + name;
    return file.left(file.size() - base.size()) + named;
}

} // namespace psucal
