#pragma once

#include <QString>

namespace psucal {

// What the controls of the full window (run modes 0-2) do. The wizard of those run modes
// implements it; the window calls it and then shows BenchUi again. The grids' and charts' own
// handling (typing an Output, sending a set point, chart bounds) belongs to the spot grids.
class FullWindowActions {
public:
    static constexpr int HumidityBox = 5;

    virtual ~FullWindowActions() = default;

    // Command1(index): 0 "Back  <", 1 the wizard button ("Next   >", "Stop", "Fulfill").
    virtual void Command1_Click(int index) = 0;
    // The operator ticked a step box (value 0, 1 or 2).
    virtual void CekPro_Click(int index, int value) = 0;
    virtual void CekOnlyRead_Click(bool on) = 0;
    virtual void CekSmallCal_Click(bool on) = 0;
    // CmbModel entry chosen by the operator (-1: none).
    virtual void CmbModel_Click(int index) = 0;
    // A report header box TxtH(index) changed (typed or set by code); HumidityBox is the
    // relative humidity beside the ambient temperature.
    virtual void TxtH_Change(int index, const QString& text) = 0;
    // Spot count chosen in CmbSpots: 5, 10, 20, 40 or 80.
    virtual void CmbSpots_Click(int count) = 0;
    virtual void CmbCommPort_Click(const QString& portName) = 0;
    virtual void CmbEqPort_Click(const QString& portName) = 0;
    // The window came to the front.
    virtual void FormActivate() = 0;
    // The window is being closed: "ENDS" and the end of the program.
    [[noreturn]] virtual void FormUnload() = 0;
    // "EEP" ticked or cleared (the EEPROM editor), and "Print" (the report).
    virtual void CekEEP_Click(bool on) = 0;
    virtual void CmdPrint_Click() = 0;
};

} // namespace psucal
