#include "core/Numbers.h"

#include <cmath>

namespace psucal::num {

double Leading(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    double sign = 1.0;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            sign = -1.0;
        ++i;
    }
    double value = 0.0;
    bool any = false;
    while (i < n && text[i] >= u'0' && text[i] <= u'9') {
        value = value * 10.0 + (text[i].unicode() - u'0');
        any = true;
        ++i;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        double scale = 0.1;
        while (i < n && text[i] >= u'0' && text[i] <= u'9') {
            value += (text[i].unicode() - u'0') * scale;
            scale /= 10.0;
            any = true;
            ++i;
        }
    }
    return any ? sign * value : 0.0;
}

double RoundTo(double value, int decimals)
{
    if (!std::isfinite(value))
        return value;
    const double p = std::pow(10.0, decimals);
    const double scaled = value * p;
    // Values such as 1.3 - 0.1 land a few ulps off the half; nudge by a relative epsilon.
    const double nudge = std::max(1e-9, std::fabs(scaled) * 1e-12);
    const double r = scaled >= 0 ? std::floor(scaled + 0.5 + nudge) : -std::floor(-scaled + 0.5 + nudge);
    return r / p;
}

QString Fixed(double value, int decimals)
{
    const double r = RoundTo(value, decimals);
    QString s = QString::number(r == 0.0 ? 0.0 : r, 'f', decimals);
    return s;
}

QString Digits(double value, int minDigits)
{
    const double r = RoundTo(value, 0);
    const long long whole = static_cast<long long>(r);
    QString s = QString::number(whole < 0 ? -whole : whole);
    if (s.size() < minDigits)
        s = QString(minDigits - s.size(), u'0') + s;
    return whole < 0 ? u'-' + s : s;
}

QString Shortest(double value)
{
    if (value == 0.0)
        return QStringLiteral("0");
    // Seven significant digits matches what a single-precision value can honestly claim.
    return QString::number(value, 'g', 7);
}

double RoundSingle(float value, int decimals)
{
    if (!std::isfinite(value))
        return 0.0;
    return RoundTo(QString::number(static_cast<double>(value), 'g', 7).toDouble(), decimals);
}

} // namespace psucal::num
