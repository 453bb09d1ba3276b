#include "station/StationMain.h"

#include "core/EpollDispatcher.h"
#include "station/StationConsole.h"
#include "station/StationSim.h"
#include "station/StationView.h"
#include "terminal/CommandLine.h"
#include "terminal/Signals.h"
#include "wizard/PortList.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>

#include <cstdio>
#include <unistd.h>

namespace psucal {

namespace {

Station::Setup SetupOf(const Options& o)
{
    return Station::Setup{.program = QCoreApplication::applicationFilePath(),
                          .programDir = o.programDir(),
                          .traceFile = o.traceFile,
                          .eventsFile = o.eventsFile,
                          .yes = o.yes,
                          .noBackup = o.noBackup};
}

// The ports given, or those of the simulated units started for the station.
bool Ports(const Options& o, StationSim& sim, QStringList* ports, QString* error)
{
    *ports = o.simulate ? sim.start(o.simModels, error) : o.supplyPorts;
    return !o.simulate || !ports->isEmpty();
}

} // namespace

int RunStationTerminal(const Options& options, int argc, char** argv)
{
    QCoreApplication::setEventDispatcher(new EpollDispatcher);
    QCoreApplication app(argc, argv);
    StationSim sim;
    QStringList ports;
    QString error;
    if (!Ports(options, sim, &ports, &error) || ports.isEmpty()) {
        std::fprintf(stderr, "psucal: %s\n",
                     qPrintable(error.isEmpty() ? QStringLiteral("no display: a station in the terminal needs "
                                                              "--batch and a --supply-port for each unit")
                                                : error));
        return 2;
    }
    Station station(SetupOf(options));
    for (const QString& port : ports)
        station.add(port);
    StationConsole console(station, stdout, STDIN_FILENO);
    RouteSignals(&app, [&station] { station.interrupt(); });
    return console.run();
}

int RunStationWindow(const Options& options, int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("psucal"));
    StationSim sim;
    QStringList ports;
    QString error;
    if (!Ports(options, sim, &ports, &error)) {
        QMessageBox::critical(nullptr, QStringLiteral("psucal"), error);
        return 2;
    }
    Station station(SetupOf(options));
    for (const QString& port : ports)
        station.add(port);
    StationView view(station, PortList::build(PortList::presentDevices(), ports, PortList::byIdNames()));
    // A signal ends every unit as closing the window does; the window goes once they have.
    RouteSignals(&app, [&view] { view.close(); });
    view.show();
    return app.exec();
}

} // namespace psucal
