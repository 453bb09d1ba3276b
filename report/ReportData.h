#pragma once

#include "core/Rating.h"
#include "report/CertificateData.h"
#include "spots/SpotGrid.h"

#include <QDate>
#include <QString>

namespace psucal {

// Everything one calibration report shows and stores: the header facts of the unit and the
// operator's boxes, and the two verified spot grids. The window, the batch runner and the
// benchmarks fill it from their own state.
struct ReportData {
    ReportData(const SpotGrid& voltage, const SpotGrid& current) : FGridV(voltage), FGridC(current) {}

    QString ClientModel;   // "Client Model" box
    QString SerialNo;      // as read from the supply
    double MaxV = 0.0;     // rating, volts
    double MaxI = 0.0;     // rating, amperes
    QString EquipmentText; // "Equipment" box
    QString AmbientTemp;   // "Ambient Temp (Deg C)" box, whole degrees
    QString TestedBy;      // "Tested By" box
    QDate StartDate;       // the day the program was started
    bool AllPass = false;  // both verification passes passed
    int SpotCount = 20;    // the selected number of test spots
    int Repeats = 0;       // replies of the unit's run that were asked for again
    // The model box's entry; nullptr for none.
    const Rating* rating = nullptr;
    // With a certificate: its measurement rows are stored with the records, and it is filed
    // beside the report. nullptr for none.
    const CertificateData* certificate = nullptr;

    const SpotGrid& FGridV;
    const SpotGrid& FGridC;
};

} // namespace psucal
