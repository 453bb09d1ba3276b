#pragma once

#include "core/Rating.h"

#include <QString>
#include <QStringList>

#include <array>

namespace psucal {

// The controls of the full window (run modes 0-2) that the wizard and the verification passes
// drive, as plain data. The window shows them after every change and calls the wizard's handlers;
// the batch runner and the tests read them. Values that are form-level state (OnlyRead,
// SmallCal, SpotCount, PanelMode, MeterSeen, the pass flags) stay in BenchState.
struct FullWindowUi {
    // "Calibration <RatingText> (Equipment HP-34401A) V1.0"
    QString windowCaption;

    // Command1(0), "Back  <". Command1(1) is BenchUi's wizard button.
    bool backEnabled = false;
    bool backFocused = false;

    // Step boxes CekPro(0..2), "Define", "Cal. V", "Cal. C": 0 pending, 1 in hand, 2 done (greyed
    // tick). Run modes 1 and 2 hide "Define" and move the other two up.
    std::array<int, 3> step{0, 0, 0};
    std::array<bool, 3> stepVisible{true, true, true};

    // "Only read" (CekOnlyRead) and "Small Cal." (CekSmallCal) may be locked by the run mode.
    bool onlyReadEnabled = true;
    bool smallCalEnabled = true;

    // "EEP" (CekEEP): shown in run mode 0 when Calibration.conf enables the editor; ticked, the
    // editor panel is shown.
    bool eepVisible = false;
    bool eepChecked = false;

    // CmbModel's entries; its selection is BenchUi::model(). Run mode 2 locks it and the serial box.
    QStringList modelEntries = RatingNames();
    bool modelEnabled = true;
    bool serialBoxEnabled = true;

    // Report header boxes TxtH(0..3): client model, equipment, ambient temperature, tested by.
    // TxtH(4), the serial box, is BenchUi::serialBox().
    std::array<QString, 4> header{QString(), QStringLiteral("HP-34401A 6.5DMM SN:US36049566"), QStringLiteral("25"),
                                  QStringLiteral("QA-017")};
    // Relative humidity in whole percent, beside the ambient temperature; empty: not given.
    QString humidity;

    // "Print" (CmdPrint): on once both verification passes have run to their end for this unit
    // (passDone: voltage, current) and the records can be stored.
    bool printEnabled = false;
    std::array<bool, 2> passDone{false, false};

    // The box TxtH(index) the operator is sent to (0..3 the report header, 4 the serial
    // number); -1 none. The window moves the focus there and clears it.
    int focusBox = -1;

    // A page's procedure is running: only "Stop" may act; everything else waits until it is over.
    bool pageRunning = false;

    // Axis labels under the first and the last spot of each chart: LVT(0..1), LCT(0..1).
    std::array<QString, 2> voltAxis{QStringLiteral("1"), QStringLiteral("20")};
    std::array<QString, 2> currAxis{QStringLiteral("1"), QStringLiteral("20")};
};

} // namespace psucal
