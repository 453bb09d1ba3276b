#pragma once

#include "spots/SpotGrid.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace psucal {

class BenchUi;
class SupplyLink;
class Transport;
struct BenchState;

// The compact recalibration wizard of run mode 3, free of widgets: start-up, identification,
// the pages behind the one button, and shutdown. The window and the batch runner drive it.
class Wizard {
public:
    struct Procedures {
        std::function<void()> calibrateVoltage;
        std::function<void()> calibrateCurrent;
    };

    // The states of the one button, each shown by its caption.
    enum class State { Design, Refresh, Start, Wait, Next, Close, Other };

    Wizard(BenchState& state, BenchUi& ui, SupplyLink& supply, Transport& meterPort, SpotGrid& gridV, SpotGrid& gridC);

    // What to do when `device` exists but this user may not open it.
    static QString PermissionAdvice(const QString& device);
    // What to do when `device` does not exist: the serial ports that do, out of `present`.
    static QString MissingAdvice(const QString& device, const QStringList& present);

    void setProcedures(Procedures p) { procs_ = std::move(p); }
    // Run modes 0-2: what identification goes on with once the rating is known (window
    // caption, spot spacing, the grids of the selector) instead of the run-mode-3 pages.
    void setFullIdentify(std::function<void(int)> f) { fullIdentify_ = std::move(f); }
    // Told whenever the unit is forgotten, so that what others hold of it goes too.
    void setForgetHook(std::function<void()> f) { onForget_ = std::move(f); }

    // Start-up after the configuration is read: ports opened through their selection
    // handlers, the session opened, the spot-count selection that identifies the supply, the serial number.
    void FormLoad(const QString& supplyPort, const QString& meterPort);

    void Command1_Click();
    void IdentifySupply(int selector);
    void CmbSpots_Click();
    void VoltageRecalPage();
    void CurrentRecalPage();

    // A new port means perhaps a new unit: what is known of the last one is forgotten and the
    // unit on the new port is identified. Refused while an exchange runs (the selector is locked).
    void CmbCommPort_Click(const QString& portName);
    void CmbEqPort_Click(const QString& portName);

    // Window close: "ENDS", StopFlag, then Cancelled. Also valid from inside a wait.
    [[noreturn]] void FormUnload();

    State state() const;

    // Whether the last identification got a reply at all.
    bool supplyAnswered() const { return answered_; }
    // Outcome of the last run of each page: the step failed or left points outside the window.
    bool voltageStepOk() const { return voltageOk_; }
    bool currentStepOk() const { return currentOk_; }
    QStringList voltageUnconverged() const { return voltageUnconverged_; }
    QStringList currentUnconverged() const { return currentUnconverged_; }

    const SpotGrid& gridV() const { return FGridV; }
    const SpotGrid& gridC() const { return FGridC; }

    // Another unit may answer now: nothing of the last one is kept, and the unit is identified
    // (IdentifySupply's `selector`) and its serial number read.
    void identifyAgain(int selector = 0);

private:
    void forgetUnit();
    // The serial number, unless identification found no valid rating.
    void readSerialIfRated();
    void openSupplyPort(const QString& portName);
    void drawConnectionFailure(const QString& deniedDevice, const QString& missingDevice);
    void printSelectPortLine(int y);
    void drawRatingCheck();
    bool runProcedure(const std::function<void()>& procedure);
    void printOutcome(int y, const QStringList& unconverged);
    void printClickLine(int y, const QString& word, const QString& rest);

    BenchState& st_;
    BenchUi& ui_;
    SupplyLink& supply_;
    Transport& meterPort_;
    Procedures procs_;
    std::function<void(int)> fullIdentify_;
    std::function<void()> onForget_;
    bool answered_ = false;
    bool rated_ = false; // the last identification brought a valid rating
    bool voltageOk_ = false;
    bool currentOk_ = false;
    QStringList voltageUnconverged_;
    QStringList currentUnconverged_;
    SpotGrid& FGridV;
    SpotGrid& FGridC;
};

} // namespace psucal
