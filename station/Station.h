#pragma once

#include "station/UnitRun.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace psucal {

// Several units recalibrated at once from one PC: one psucal child a port, each running today's
// batch path in run mode 3 with its events on a pipe. The station only starts, watches, answers
// prompts and tells the units to end; what a unit does stays that unit's.
class Station : public QObject {
    Q_OBJECT
public:
    struct Setup {
        QString program;    // the psucal to start for each unit
        QString programDir; // every unit's program folder: backups/, Calibration.conf
        QString traceFile;  // each unit's trace, named after its port; empty for none
        QString eventsFile; // each unit's events kept, named the same way; empty for none
        bool yes = false;   // the units answer their prompt themselves
        bool noBackup = false;
    };

    explicit Station(Setup setup, QObject* parent = nullptr);

    // A unit on `port`; nullptr when the station is full or has that port already.
    UnitRun* add(const QString& port);
    // An idle or ended unit leaves the station.
    bool remove(UnitRun* unit);
    const QList<UnitRun*>& units() const { return units_; }

    // The arguments a unit's psucal is started with.
    QStringList arguments(const UnitRun& unit) const;
    void start(UnitRun* unit);
    void startAll();
    // Ctrl-C, a kill, the window closed: every unit still running sends "ENDS" and ends.
    void interrupt();
    bool interrupted() const { return interrupted_; }

    bool running() const;
    // The units at their prompt when every unit still running is there; empty otherwise.
    QList<UnitRun*> allWaiting() const;
    // 130 after an interrupt; 0 when every unit recalibrated; 1 otherwise.
    int exitStatus() const;

signals:
    void changed(psucal::UnitRun* unit, bool notable);
    // Every unit started has ended.
    void allEnded();

private:
    Setup setup_;
    QList<UnitRun*> units_;
    bool interrupted_ = false;
};

} // namespace psucal
