#pragma once

#include <QString>

namespace psucal {

// The status-bar hints of the full window's steps, by wording (0 normal, 1 run mode 2) and
// step (0 Define, 1 voltage, 2 current).
enum StatusStep { DefineStep = 0, VoltageStep = 1, CurrentStep = 2 };

inline int StatusWording(int runMode)
{
    return runMode == 2 ? 1 : 0;
}

inline QString StatusText(int wording, int step)
{
    static const QString texts[2][3] = {{QStringLiteral("Will original base data write into QRB"),
                                         QStringLiteral("Calibration Voltage (Output terminals must be open)"),
                                         QStringLiteral("Calibration Current (Output terminals must be short)")},
                                        {QStringLiteral("Will SN , Max Output V & I and basic data write to DUT"),
                                         QStringLiteral("Calibration Voltage (Output voltage must is off)"),
                                         QStringLiteral("Calibration Current (Output voltage must is on)")}};
    return texts[wording == 1 ? 1 : 0][step < 0 || step > 2 ? 0 : step];
}

// How many of a run's replies had to be asked for again: "1 reply asked again", "4 replies ...".
inline QString RepeatsText(int repeats)
{
    return QStringLiteral("%1 %2 asked again").arg(repeats).arg(repeats == 1 ? "reply" : "replies");
}

// "Calibration Voltage (...)" as the verification passes show it: "Verify Voltage (...)".
inline QString VerifyText(int wording, int step)
{
    return QStringLiteral("Verify") + StatusText(wording, step).mid(11);
}

} // namespace psucal
