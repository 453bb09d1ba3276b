#include "station/Station.h"

#include "terminal/CommandLine.h"
#include "terminal/StationOptions.h"

#include <algorithm>

namespace psucal {

Station::Station(Setup setup, QObject* parent) : QObject(parent), setup_(std::move(setup)) {}

UnitRun* Station::add(const QString& port)
{
    const bool known = std::ranges::any_of(units_, [&](const UnitRun* u) { return u->view().port == port; });
    if (known || units_.size() >= Options::MaxStationUnits || port.trimmed().isEmpty())
        return nullptr;
    auto* unit = new UnitRun(port, this);
    connect(unit, &UnitRun::changed, this, &Station::changed);
    connect(unit, &UnitRun::ended, this, [this] {
        if (!running())
            emit allEnded();
    });
    units_ << unit;
    return unit;
}

bool Station::remove(UnitRun* unit)
{
    const UnitRun::Phase phase = unit->view().phase;
    if (phase == UnitRun::Phase::Running || phase == UnitRun::Phase::Waiting || !units_.removeOne(unit))
        return false;
    unit->deleteLater();
    return true;
}

QStringList Station::arguments(const UnitRun& unit) const
{
    QStringList args{QStringLiteral("--batch"), QStringLiteral("--supply-port"), unit.view().port,
                     QStringLiteral("--events"), QStringLiteral("-"), QStringLiteral("--dir"), setup_.programDir};
    if (setup_.yes)
        args << QStringLiteral("--yes");
    if (setup_.noBackup)
        args << QStringLiteral("--no-backup");
    if (!setup_.traceFile.isEmpty())
        args << QStringLiteral("--trace") << PerUnitFileName(setup_.traceFile, unit.view().name);
    return args;
}

void Station::start(UnitRun* unit)
{
    if (interrupted_)
        return;
    const QString events = setup_.eventsFile.isEmpty() ? QString() : PerUnitFileName(setup_.eventsFile, unit->view().name);
    unit->start(setup_.program, arguments(*unit), events);
}

void Station::startAll()
{
    for (UnitRun* unit : units_)
        if (unit->view().phase != UnitRun::Phase::Running && unit->view().phase != UnitRun::Phase::Waiting)
            start(unit);
}

void Station::interrupt()
{
    interrupted_ = true;
    for (UnitRun* unit : units_)
        unit->stop();
    if (!running())
        emit allEnded();
}

bool Station::running() const
{
    return std::ranges::any_of(units_, [](const UnitRun* u) {
        return u->view().phase == UnitRun::Phase::Running || u->view().phase == UnitRun::Phase::Waiting;
    });
}

QList<UnitRun*> Station::allWaiting() const
{
    QList<UnitRun*> waiting;
    for (UnitRun* unit : units_) {
        if (unit->view().phase == UnitRun::Phase::Running)
            return {};
        if (unit->view().phase == UnitRun::Phase::Waiting)
            waiting << unit;
    }
    return waiting;
}

int Station::exitStatus() const
{
    if (interrupted_)
        return 130;
    const bool all = !units_.isEmpty() && std::ranges::all_of(units_, [](const UnitRun* u) { return u->view().recalibrated(); });
    return all ? 0 : 1;
}

} // namespace psucal
