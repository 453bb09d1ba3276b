#include "bench/Rig.h"

#include <QDate>

namespace psucal::bench {

Rig::Rig(BenchUiHost& host, Clock& clock, Transport& supplyPort, Transport& meterPort, const QString& programDir,
         int runMode)
    : ui(host), link(st, ui, clock, supplyPort), meter(st, ui, clock, meterPort),
      calibrator(st, ui, link, programDir), wizard(st, ui, link, meterPort, gridV, gridC),
      verifier(st, ui, link, meter, gridV, gridC), full(st, ui, wizard, gridV, gridC)
{
    st.RunMode = runMode;
    st.StartDate = QDate::currentDate();
    wizard.setProcedures(
        Wizard::Procedures{[this] { calibrator.CalibrateVoltage(); }, [this] { calibrator.CalibrateCurrent(); }});
    verifier.setIdentify([this](int selector) { wizard.IdentifySupply(selector); });
    full.setProcedures(FullWizard::Procedures{{},
                                              [this] { calibrator.CalibrateVoltage(); },
                                              [this] { calibrator.CalibrateCurrent(); },
                                              [this] { verifier.VerifyVoltage(); },
                                              [this] { verifier.VerifyCurrent(); }});
}

RealLine::~RealLine()
{
    supplyPort.close();
    meterPort.close();
}

} // namespace psucal::bench
