#include "bench/Rig.h"

#include <QDate>

namespace psucal::bench {

Rig::Rig(BenchUiHost& host, Clock& clock, Transport& supplyPort, Transport& meterPort, const QString& programDir)
    : ui(host), link(st, ui, clock, supplyPort), calibrator(st, ui, link, programDir), wizard(st, ui, link, meterPort)
{
    st.RunMode = 3;
    st.StartDate = QDate::currentDate();
    wizard.setProcedures(
        Wizard::Procedures{[this] { calibrator.CalibrateVoltage(); }, [this] { calibrator.CalibrateCurrent(); }});
}

RealLine::~RealLine()
{
    supplyPort.close();
    meterPort.close();
}

} // namespace psucal::bench
