#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace psucal::bench {

// The batch run of psucal (start-up, voltage page, current page, "ENDS") against the in-process
// simulator in virtual time; in run mode 1 the pages verify against the simulated meter instead. Virtual time
// advances only by what the links wait for: the full time-out of every wait nobody answers, every Delay, the meter's
// reading time, and the wire time (10 bits a character at 9600 baud, 11 to the meter, both directions) plus the
// simulator's 1 ms turnaround. Nothing is charged for computing, so its duration is the least the same run can take on
// a real line.
struct IdealRun {
    int model = 40;
    int runMode = 3; // 3, or 1 for the verification of run mode 1
    quint32 seed = 1;
    QString serial;
    // A unit whose display reads true and a meter that does not scatter, so that two builds'
    // frames compare; false for a unit with its own display error, as psucal-sim gives.
    bool idealUnit = true;

    double startupSeconds = 0; // up to the first wizard page, serial number read
    double totalSeconds = 0;
    QStringList frames; // as the unit received them, without the carriage return
    // Each exchange as the supply link made it: the frame with its carriage return, the
    // characters awaited, when it went and when its wait ended (virtual seconds), and how many
    // characters that wait took.
    struct Exchange {
        QByteArray frame;
        qint64 count = 0;
        double sentAt = 0;
        double doneAt = -1;
        qsizetype replied = 0;
    };
    QList<Exchange> exchanges;
    bool voltageOk = false;
    bool currentOk = false;
    bool allPass = false; // run mode 1: both passes passed

    // The serial number psucal-sim gives this unit when none is asked for.
    static QString DefaultSerial(int model, quint32 seed);
    void run(const QString& programDir);
};

} // namespace psucal::bench
