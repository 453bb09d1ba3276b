#pragma once

#include "station/Station.h"

#include <QObject>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace psucal {

// A station in the terminal: one line per unit (port, serial, rating, step, progress, outcome),
// redrawn in place on a terminal and printed as plain lines otherwise; one question for all
// units before the current step; a summary table at the end.
class StationConsole : public QObject {
    Q_OBJECT
public:
    StationConsole(Station& station, FILE* out, int inputFd);

    // Starts every unit and runs until each has ended; the station's exit status.
    int run();

    // A unit's line, and the summary of them all: what the terminal shows.
    static QString Line(const UnitRun::View& v);
    static QString Summary(const QList<UnitRun*>& units);

private:
    void changed(UnitRun* unit, bool notable);
    void redraw();
    void askIfAllWait();
    void readAnswer();
    void print(const QString& text);

    Station& station_;
    FILE* out_;
    int inputFd_;
    bool tty_;
    QTimer redrawTimer_;
    int drawnLines_ = 0;
    QString question_; // asked and not yet answered
    bool inputClosed_ = false;
    std::unique_ptr<QSocketNotifier> input_;
};

} // namespace psucal
