#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include <array>

namespace psucal::line {

// What a search asks for; empty texts and invalid dates leave that condition out.
struct Filter {
    QString serial; // a part of the serial number
    QString model;  // a rating as the runs name it (the rating table's name)
    QString bench;
    QDate from, to; // both days included
    QString verdict; // PASS or FAIL
    int page = 1;
};

// One calibration of one unit on one bench.
struct Run {
    qlonglong id = 0;
    QString serial;
    QString bench;
    QString model;
    QString verdict;
    QDateTime when; // UTC; on a bench's own file only the day is known
};

struct SearchResult {
    qlonglong total = 0; // every match, not only this page's
    QList<Run> runs;
};

// One record of a run: the spot's voltage and current setting, display and output, as stored.
struct Spot {
    int step = 0;
    std::array<QString, 3> voltage; // setting, display, output
    std::array<QString, 3> current;
};

// A run with what its report shows.
struct UnitRun {
    Run run;
    QString equipment, ambient, testedBy, testDate, maxV, maxC;
    QList<Spot> spots;
};

struct YieldRow {
    QString key; // the day, the model or the bench
    int pass = 0;
    int fail = 0;
    double ratio() const { return pass + fail > 0 ? double(pass) / (pass + fail) : 0.0; }
};

struct Yield {
    QList<YieldRow> days, models, benches;
};

// Output - Setting at one spot of every unit of one model.
struct DriftPoint {
    QDateTime when;
    QString serial, bench;
    double setting[2]; // voltage, current
    double deviation[2];
};

struct BenchDrift {
    QString bench;
    int count = 0;
    double mean[2], low[2], high[2];
};

struct Drift {
    QList<DriftPoint> points;
    QList<BenchDrift> benches;
    double limit[2] = {0, 0}; // the output band at the spot's setting, ±
};

} // namespace psucal::line
