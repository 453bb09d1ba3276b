#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <array>

namespace psucal {

// The window-level state that every procedure shares, under the names the procedures use for
// it. One instance lives for the whole program and is passed by reference.
struct BenchState {
    int RunMode = 3;
    bool StopFlag = false;
    bool AbortFlag = true;
    QString FailText;

    double MaxV = 0.0;
    double MaxI = 0.0;
    QString RatingText;

    QString SerialNo;
    QString SerialNoEdit;

    double RigorUpV = 0.08;
    double RigorDnV = 0.02;
    double RigorOffsetV = 0.02;
    double RigorUpC = 0.008;
    double RigorDnC = 0.002;
    double RigorOffsetC = 0.002;

    int CurRow = 0;
    int CurCell = 0;
    std::array<QString, 5> RowRead;  // element 0 unused
    std::array<QString, 5> RowCells; // element 0 unused

    // Settings held by controls that run mode 3 never shows.
    bool OnlyRead = false;    // CekOnlyRead
    bool SmallCal = false;    // CekSmallCal
    int SpotCount = 20;       // CmbSpots entry "20"
    int PanelMode = 2;
    double VoltSpotStep = 0.0;
    double CurrSpotStep = 0.0;

    QDate StartDate;

    // Verification (run modes 0-2): the meter has delivered a reading since start (the results
    // view is open, five readings per spot); the passes' verdicts.
    bool MeterSeen = false;
    bool VoltPass = false;
    bool CurrPass = false;
    bool AllPass = false;
    // The meter's *IDN? answer at the start of the last pass; its model picks the meter's row
    // in MeterModel. Empty when the meter did not say.
    QString MeterIdentity;

    // Uncertainty per check, worked out only when something asks for it (the guarded decision
    // rule, a certificate), so that a plain run's report stays as it was. The shunt's value turns its
    // voltage into amperes; its tolerance and the meter's identity feed the budget.
    bool GuardRule = false;
    // Each adjusting step verifies the unit as it arrived before it calibrates.
    bool AsFound = false;
    double ShuntOhm = 0.001;
    double ShuntTol = 0.1;

    // The reference standards a certificate names, and when each is due for calibration. A
    // null date: not given. Past a due date a pass runs only when the operator allowed it.
    QString MeterId;
    QDate MeterCalDue;
    QString ShuntId;
    QDate ShuntCalDue;
    bool AllowOverdue = false;
    // The unit's passes started with a reference past its due date, as allowed.
    bool ReferenceOverdue = false;
    // A certificate is filed with the report.
    bool Certificate = false;

    // Report header facts, copied from the boxes TxtH(0..3).
    QString ClientModel;
    QString EquipmentText;
    QString AmbientTemp;
    QString TestedBy;
    QString Humidity; // relative humidity, percent, beside the ambient temperature

    // As-found EEPROM image from the last whole-image read (1443 characters), kept so that
    // it can be backed up before anything is written to the supply.
    QString AsFoundImage;
    bool BackupWritten = false;

    // Set points a sweep left outside the acceptance window after its five attempts.
    QStringList Unconverged;

    // Exchanges of this unit's run that were asked again after a lost or malformed reply.
    int Repeats = 0;
    // Extra tries an exchange gets after its first (Calibration.conf "Retries").
    int Retries = 2;
};

} // namespace psucal
