#include "tests/cal/ScriptedSupply.h"

#include "core/Numbers.h"

namespace psucal::test {

QStringList ScriptedSupply::sent() const
{
    QStringList out;
    for (const Frame& f : frames)
        out << f.text;
    return out;
}

QStringList ScriptedSupply::sent(const QString& command) const
{
    QStringList out;
    for (const Frame& f : frames)
        if (f.text.startsWith(command))
            out << f.text.mid(6);
    return out;
}

QString ScriptedSupply::row(int r) const
{
    const auto it = rows.find(r);
    return it == rows.end() ? QStringLiteral("80808080") : it->second;
}

QString ScriptedSupply::image() const
{
    QString out;
    for (int r = 0; r < 160; ++r)
        out += row(r) + u' ';
    return out + QStringLiteral("OK\r");
}

QString ScriptedSupply::Display(double volts, double amps)
{
    return num::Digits(volts * 100, 4) + num::Digits(amps * 1000, 4) + QStringLiteral("00OK");
}

bool ScriptedSupply::write(const QByteArray& bytes)
{
    QString text = QString::fromLatin1(bytes);
    if (text.endsWith(u'\r'))
        text.chop(1);
    frames.push_back({clock_.now(), text});
    const QString command = text.left(4);
    const QString data = text.mid(6);
    std::optional<QString> out;
    if (answer)
        out = answer(command, data);
    const QByteArray r = (out ? *out : reply(command, data)).toLatin1();
    if (!r.isEmpty())
        clock_.scheduleIn(0.0, [this, r] {
            rx_ += r;
            notifyActivity();
        });
    return true;
}

QByteArray ScriptedSupply::readAll()
{
    QByteArray out;
    out.swap(rx_);
    return out;
}

QString ScriptedSupply::reply(const QString& command, const QString& data)
{
    if (command == QLatin1String("GETD")) {
        if (displays.isEmpty())
            return QString();
        return displays.size() > 1 ? displays.takeFirst() : displays.first();
    }
    if (command == QLatin1String("GEEP"))
        return data.isEmpty() ? image() : row(data.toInt());
    if (command == QLatin1String("SEEP")) {
        rows[data.left(3).toInt()] = data.mid(3, 8);
        return QStringLiteral("OK");
    }
    if (command == QLatin1String("SOUT") || command == QLatin1String("SESS") || command == QLatin1String("ENDS"))
        return QStringLiteral("OK\r");
    return QStringLiteral("OK");
}

} // namespace psucal::test
