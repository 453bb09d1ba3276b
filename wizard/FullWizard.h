#pragma once

#include "wizard/FullWindowActions.h"
#include "wizard/FullWindowSetup.h"
#include "report/ReportJob.h"

#include "spots/SpotResult.h"

#include <QList>
#include <QString>

#include <array>

#include <functional>

namespace psucal {

class BenchUi;
class SpotGrid;
class SupplyLink;
class Wizard;
struct BenchState;

// The wizard of run modes 0-2, free of widgets: "Next   >" walks Define (run mode 0), the
// voltage step and the current step, each a calibration followed by a verification pass;
// "Stop" ends the running step, "Back  <" steps back, "Fulfill" takes the next unit.
// Identification and start-up are the run-mode-3 wizard's, which this one drives.
class FullWizard : public FullWindowActions {
public:
    struct Procedures {
        // Define of run mode 0: reports its own failure to the operator (AbortFlag, FailText,
        // message box). Without one, Define counts as done and nothing is sent.
        std::function<void()> define;
        std::function<void()> calibrateVoltage;
        std::function<void()> calibrateCurrent;
        std::function<void()> verifyVoltage;
        std::function<void()> verifyCurrent;
    };

    FullWizard(BenchState& state, BenchUi& ui, Wizard& wizard, SpotGrid& gridV, SpotGrid& gridC);

    void setProcedures(Procedures p) { procs_ = std::move(p); }
    // Called while a step's grid still holds the results of the unit as it arrived.
    void setAsFoundShown(std::function<void(bool current)> shown) { asFoundShown_ = std::move(shown); }
    // Those results, kept once the grid has been rebuilt; empty when the step verified only once.
    const QList<SpotResult>& asFound(bool current) const { return asFound_[current]; }
    // "EEP" ticked reads the unit's image into the editor; without a reader "EEP" does nothing.
    void setEepromRead(std::function<void()> read) { readEeprom_ = std::move(read); }
    // "Print": stores the records, files the PDF and prints; without it "Print" stays off.
    void setReport(std::function<ReportJob::Outcome()> report) { report_ = std::move(report); }
    // What the last "Print" did; empty when it was refused or never pressed.
    const ReportJob::Outcome& lastReport() const { return lastReport_; }

    // Start-up after the configuration is read: the run mode's controls, then the shared start-up
    // (ports, the session opened, identification with the spot rows, the serial number).
    void FormLoad(const QString& supplyPort, const QString& meterPort, bool eepEnabled);

    void Command1_Click(int index) override;
    void CekPro_Click(int index, int value) override;
    void CekOnlyRead_Click(bool on) override;
    void CekSmallCal_Click(bool on) override;
    void CmbModel_Click(int index) override;
    void TxtH_Change(int index, const QString& text) override;
    void CmbSpots_Click(int count) override;
    void CmbCommPort_Click(const QString& portName) override;
    void CmbEqPort_Click(const QString& portName) override;
    void FormActivate() override;
    [[noreturn]] void FormUnload() override;
    void CekEEP_Click(bool on) override;
    void CmdPrint_Click() override;

    void DefinePage();
    void VoltagePage();
    void CurrentPage();

private:
    void nextClick();
    void stopClick();
    void fulfillClick();
    void backClick();
    void clearUnitHeaders();
    void resetSteps();
    void setSteps(int define, int voltage, int current);
    void setBack(bool enabled);
    bool ratingKnown();
    bool referencesInDate();
    bool verifyAsFound(bool current, const std::function<void()>& verify);
    void calibrateAndVerify(bool current, const std::function<void()>& calibrate, const std::function<void()>& verify);
    bool busy() const;

    BenchState& st_;
    BenchUi& ui_;
    Wizard& wizard_;
    SpotGrid& gridV_;
    SpotGrid& gridC_;
    FullWindowSetup setup_;
    Procedures procs_;
    std::function<void(bool)> asFoundShown_;
    std::array<QList<SpotResult>, 2> asFound_;
    std::function<void()> readEeprom_;
    std::function<ReportJob::Outcome()> report_;
    ReportJob::Outcome lastReport_;
};

} // namespace psucal
