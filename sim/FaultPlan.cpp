#include "sim/FaultPlan.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace psucal::sim {

namespace {

struct KindName {
    const char* name;
    FaultRule::Kind kind;
    bool needsValue;
    bool takesValue;
};

constexpr KindName Kinds[] = {
    {"silence", FaultRule::Kind::Silence, false, false},
    {"lost", FaultRule::Kind::Lost, false, false},
    {"late", FaultRule::Kind::Late, true, true},
    {"truncate", FaultRule::Kind::Truncate, true, true},
    {"garbage", FaultRule::Kind::Garbage, false, false},
    {"dropchar", FaultRule::Kind::DropChar, false, true},
    {"nondigits", FaultRule::Kind::NonDigits, false, false},
    {"shortrow", FaultRule::Kind::ShortRow, false, true},
    {"flipnibble", FaultRule::Kind::FlipNibble, false, true},
    {"vanish", FaultRule::Kind::Vanish, false, true},
    {"zero", FaultRule::Kind::Zero, false, false},
    {"overload", FaultRule::Kind::Overload, false, false},
    {"foreign", FaultRule::Kind::Foreign, false, false},
    {"extra", FaultRule::Kind::Extra, false, false},
    {"noise", FaultRule::Kind::Noise, false, false},
};

// Characters that no reply of the supply or the meter carries.
constexpr char Foreign[] = "#%&!*~^$@|";
// A unit busy with something else answers up to this much late.
constexpr double NoiseLateMin = 0.02;
constexpr double NoiseLateMax = 0.15;

int Place(double at, qsizetype size)
{
    return static_cast<int>(std::clamp(at, 0.0, 0.999999) * static_cast<double>(size));
}

bool Fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

bool ReadNumber(const QString& text, double& out)
{
    bool ok = false;
    out = text.toDouble(&ok); // QString::toDouble is locale-free
    return ok && std::isfinite(out) && out >= 0;
}

bool ParseKind(const QString& part, FaultRule& rule, QString* error)
{
    const QString name = part.section(u'=', 0, 0).trimmed().toLower();
    const bool hasValue = part.contains(u'=');
    for (const KindName& k : Kinds) {
        if (name != QLatin1String(k.name))
            continue;
        if (k.needsValue && !hasValue)
            return Fail(error, QStringLiteral("%1 needs a value").arg(name));
        if (hasValue && !k.takesValue)
            return Fail(error, QStringLiteral("%1 takes no value").arg(name));
        rule.kind = k.kind;
        rule.value = rule.kind == FaultRule::Kind::ShortRow ? 5 : 0;
        if (hasValue && !ReadNumber(part.section(u'=', 1), rule.value))
            return Fail(error, QStringLiteral("bad value in \"%1\"").arg(part));
        if (rule.kind == FaultRule::Kind::FlipNibble && hasValue && (rule.value < 1 || rule.value > 8))
            return Fail(error, QStringLiteral("flipnibble takes a position from 1 to 8"));
        return true;
    }
    return Fail(error, QStringLiteral("unknown fault \"%1\"").arg(name));
}

bool ParseWhen(const QString& part, FaultRule& rule, QString* error)
{
    const QString name = part.section(u'=', 0, 0).trimmed().toLower();
    if (name == u"every" && !part.contains(u'=')) {
        rule.when = FaultRule::When::Every;
        return true;
    }
    bool ok = false;
    if (name == u"p") {
        const double p = part.section(u'=', 1).toDouble(&ok);
        if (!ok || !(p > 0 && p <= 1))
            return Fail(error, QStringLiteral("bad chance in \"%1\" (0 < p <= 1)").arg(part));
        rule.when = FaultRule::When::Chance;
        rule.chance = p;
        return true;
    }
    const int n = part.section(u'=', 1).toInt(&ok);
    if (!ok || n < 1)
        return Fail(error, QStringLiteral("bad count in \"%1\"").arg(part));
    if (name == u"nth")
        rule.when = FaultRule::When::Nth;
    else if (name == u"from")
        rule.when = FaultRule::When::From;
    else
        return Fail(error, QStringLiteral("unknown condition \"%1\"").arg(part));
    rule.n = n;
    return true;
}

} // namespace

std::optional<FaultRule> FaultRule::Parse(const QString& text, QString* error)
{
    const QStringList parts = text.split(u':');
    if (parts.size() < 2 || parts.size() > 3) {
        Fail(error, QStringLiteral("expected WORD:KIND[=VALUE][:WHEN], got \"%1\"").arg(text));
        return std::nullopt;
    }
    FaultRule rule;
    const QString word = parts[0].trimmed();
    if (word != u"*") {
        if (word.size() < 4) {
            Fail(error, QStringLiteral("bad command word \"%1\"").arg(word));
            return std::nullopt;
        }
        rule.word = word.toLatin1();
    }
    if (!ParseKind(parts[1], rule, error) || (parts.size() == 3 && !ParseWhen(parts[2], rule, error)))
        return std::nullopt;
    if ((rule.kind == FaultRule::Kind::Zero || rule.kind == FaultRule::Kind::Overload) && !rule.forMeter()) {
        Fail(error, QStringLiteral("%1 is a meter fault (word METER or READ?)").arg(parts[1]));
        return std::nullopt;
    }
    return rule;
}

bool FaultPlan::add(const QString& text, QString* error)
{
    const std::optional<FaultRule> rule = FaultRule::Parse(text, error);
    if (rule)
        add(*rule);
    return rule.has_value();
}

QList<FaultRule> FaultPlan::fire(const QByteArray& key)
{
    QList<FaultRule> fired;
    for (Entry& e : rules_) {
        if (!key.startsWith(e.rule.word))
            continue;
        ++e.seen;
        const bool hit = e.rule.when == FaultRule::When::Every ||
                         (e.rule.when == FaultRule::When::Nth && e.seen == e.rule.n) ||
                         (e.rule.when == FaultRule::When::From && e.seen >= e.rule.n) ||
                         (e.rule.when == FaultRule::When::Chance && rng_.generateDouble() < e.rule.chance);
        if (!hit)
            continue;
        FaultRule settled = e.rule;
        if (settled.kind == FaultRule::Kind::Noise)
            settled = settleNoise(settled, key.startsWith("GEEP") && key.size() > 4);
        if (settled.kind == FaultRule::Kind::FlipNibble && settled.value < 1)
            settled.value = 1 + rng_.bounded(8);
        fired.append(settled);
    }
    return fired;
}

FaultRule FaultPlan::settleNoise(const FaultRule& rule, bool rowRead)
{
    using K = FaultRule::Kind;
    static constexpr K kinds[] = {K::Late, K::DropChar, K::Foreign, K::Extra, K::Truncate, K::Silence, K::FlipNibble};
    FaultRule r = rule;
    r.kind = kinds[rng_.bounded(rowRead ? 7 : 6)];
    r.at = rng_.generateDouble();
    r.value = r.kind == K::Late ? NoiseLateMin + (NoiseLateMax - NoiseLateMin) * r.at : 0;
    return r;
}

bool FaultPlan::Loses(const QList<FaultRule>& fired)
{
    for (const FaultRule& r : fired)
        if (r.kind == FaultRule::Kind::Lost)
            return true;
    return false;
}

void FaultPlan::Apply(const QList<FaultRule>& fired, Answer& answer, bool rowRead)
{
    QByteArray& b = answer.bytes;
    for (const FaultRule& r : fired) {
        switch (r.kind) {
        case FaultRule::Kind::Silence:
        case FaultRule::Kind::Lost:
            b.clear();
            break;
        case FaultRule::Kind::Late:
            answer.extraDelay += r.value;
            break;
        case FaultRule::Kind::Truncate:
            // Noise cuts a reply somewhere after its first character.
            b.truncate(r.at >= 0 ? 1 + Place(r.at, b.size() - 1) : static_cast<int>(r.value));
            break;
        case FaultRule::Kind::Garbage: {
            static const char noise[] = "#x@z!&Kq%w";
            for (int i = 0; i < b.size(); ++i)
                b[i] = noise[i % 10];
            break;
        }
        case FaultRule::Kind::DropChar: {
            const int at = r.at >= 0 ? Place(r.at, b.size()) : r.value >= 1 ? static_cast<int>(r.value) - 1 : b.size() / 2;
            if (at < b.size())
                b.remove(at, 1);
            break;
        }
        case FaultRule::Kind::Foreign:
        case FaultRule::Kind::Extra: {
            if (b.isEmpty())
                break;
            const int at = Place(r.at >= 0 ? r.at : 0.5, b.size());
            const char c = Foreign[at % (sizeof(Foreign) - 1)];
            if (r.kind == FaultRule::Kind::Foreign)
                b[at] = c;
            else
                b.insert(at, c);
            break;
        }
        case FaultRule::Kind::Noise:
            break; // settled into one of the others when it fired
        case FaultRule::Kind::NonDigits:
            for (char& c : b)
                if (c >= '0' && c <= '9')
                    c = static_cast<char>('a' + (c - '0'));
            break;
        case FaultRule::Kind::ShortRow:
            if (rowRead)
                b.truncate(static_cast<int>(r.value));
            break;
        case FaultRule::Kind::FlipNibble: {
            const int at = r.at >= 0 ? Place(r.at, b.size()) : static_cast<int>(r.value) - 1;
            if (rowRead && at >= 0 && at < b.size() && b[at] >= '0' && b[at] <= '?')
                b[at] = static_cast<char>('0' + ((b[at] - '0' + 7) % 16)); // another nibble, never the same
            break;
        }
        case FaultRule::Kind::Vanish:
            answer.vanish = true;
            answer.restoreAfter = r.value;
            b.clear();
            break;
        case FaultRule::Kind::Zero:
        case FaultRule::Kind::Overload:
            break; // the meter puts these into the reading itself
        }
    }
}

std::optional<QStringList> FaultPlan::NoiseRules(const QString& plan, QString* error)
{
    const QString name = plan.section(u':', 0, 0).trimmed().toLower();
    const QString when = plan.section(u':', 1);
    const bool supply = name == u"noise" || name == u"supply-noise";
    const bool meter = name == u"noise" || name == u"meter-noise";
    if ((!supply && !meter) || !when.startsWith(QLatin1String("p="))) {
        Fail(error, QStringLiteral("expected noise:p=CHANCE, supply-noise:p=CHANCE or meter-noise:p=CHANCE, got \"%1\"")
                        .arg(plan));
        return std::nullopt;
    }
    QStringList rules;
    if (supply)
        for (const char* word : {"GETD", "GEEP0", "GEEP1", "SEEP", "VOLT", "CURR"})
            rules << QStringLiteral("%1:noise:%2").arg(QLatin1String(word), when);
    if (meter)
        rules << QStringLiteral("READ?:noise:%1").arg(when);
    FaultRule probe;
    if (!ParseWhen(when, probe, error))
        return std::nullopt;
    return rules;
}

QString FaultPlan::Grammar()
{
    return QStringLiteral("WORD:KIND[=VALUE][:WHEN]\n"
                          "  WORD  supply: command word, optionally with the start of its data (GETD, SEEP156),\n"
                          "        or * for any frame; meter: METER for any line, or a query without its colon\n"
                          "        (READ?, *IDN?)\n"
                          "  KIND  silence | lost | late=SECONDS | truncate=N | garbage | dropchar[=POS] | nondigits\n"
                          "        | shortrow[=N] | flipnibble[=POS] | vanish[=SECONDS] | foreign | extra | noise;\n"
                          "        meter readings also zero | overload\n"
                          "  WHEN  every (default) | nth=N | from=N | p=CHANCE\n"
                          "  e.g.  GETD:silence:nth=3  GEEP:shortrow:from=1  *:vanish:nth=120  GMAX:late=0.5\n"
                          "        GEEP:flipnibble:p=0.08  GEEP:flipnibble=3:nth=2\n"
                          "        READ?:zero:nth=2  READ?:overload  READ?:late=1  READ?:truncate=10  METER:silence\n");
}

} // namespace psucal::sim
