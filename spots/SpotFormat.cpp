#include "spots/SpotFormat.h"

#include "core/Numbers.h"

namespace psucal::spots {

int SettingDecimals(bool current)
{
    return current ? 2 : 1;
}

int ValueDecimals(bool current)
{
    return current ? 3 : 2;
}

QString SettingText(bool current, double setting)
{
    return num::Fixed(setting, SettingDecimals(current));
}

QString ValueText(bool current, const std::optional<double>& value)
{
    return value ? num::Fixed(*value, ValueDecimals(current)) : QString();
}

QColor VerdictColor(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return PassColor;
    case Verdict::Fail:
    case Verdict::ConditionalFail:
    case Verdict::ConditionalPass:
        return FailColor;
    case Verdict::NotMeasured:
        break;
    }
    return QColor();
}

QString VerdictMark(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return QStringLiteral("pass");
    case Verdict::Fail:
        return QStringLiteral("FAIL");
    case Verdict::ConditionalPass:
        return QStringLiteral("pass*");
    case Verdict::ConditionalFail:
        return QStringLiteral("FAIL*");
    case Verdict::NotMeasured:
        break;
    }
    return QString();
}

QString DisplayMark(const SpotResult& spot)
{
    const Verdict v = spot.displayCheck;
    if (v == Verdict::NotMeasured || !spot.display)
        return QString();
    const QString star =
        v == Verdict::ConditionalPass || v == Verdict::ConditionalFail ? QStringLiteral("*") : QString();
    if (v == Verdict::Pass || v == Verdict::ConditionalPass)
        return QStringLiteral("ok") + star;
    const double mid = (spot.displayLimits.lower + spot.displayLimits.upper) / 2;
    return (*spot.display > mid ? QStringLiteral("high") : QStringLiteral("low")) + star;
}

} // namespace psucal::spots
