#include "sim/MeterModel.h"

#include "sim/SupplyModel.h"

#include <cmath>

namespace psucal::sim {

namespace {

constexpr int MaxPending = 4096;
constexpr int MaxErrors = 20;
constexpr double Ranges[] = {0.1, 1, 10, 100, 1000};
constexpr double OverRange = 1.2; // each range reads up to 120 % of its name
constexpr double Mains = 50;
constexpr double Overhead = 0.010;
constexpr double IdealNoise = 0.1;
// Triangular up to this either way: about one count rms, as at the fast integrations.
constexpr double Noise = 2.5;

struct Integration {
    double factor; // resolution / range
    double plc;
};
constexpr Integration Integrations[] = {{1e-4, 0.02}, {1e-5, 0.2}, {3e-6, 1}, {1e-6, 10}, {3e-7, 100}};
constexpr int DefaultIntegration = 3;
constexpr int FinestIntegration = 4;

const char* const UndefinedHeader = "-113,\"Undefined header\"";
const char* const OutOfRange = "-222,\"Data out of range\"";
const char* const IllegalValue = "-224,\"Illegal parameter value\"";
const char* const NotInLocal = "+550,\"Command not allowed in local\"";

// Whether `header` (upper case, no leading colon) names `pattern`: each node in its short
// form (the capitals) or in full; a node in brackets may be left out.
bool Names(const QByteArray& header, const char* pattern)
{
    const QList<QByteArray> got = header.split(':');
    qsizetype g = 0;
    for (QByteArray node : QByteArray(pattern).split(':')) {
        const bool optional = node.startsWith('[');
        if (optional)
            node = node.mid(1, node.size() - 2);
        QByteArray shortForm;
        for (char c : node)
            if (c < 'a' || c > 'z')
                shortForm += c;
        if (g < got.size() && (got[g] == shortForm || got[g] == node.toUpper()))
            ++g;
        else if (!optional)
            return false;
    }
    return g == got.size();
}

double AutoRange(double value)
{
    for (double r : Ranges)
        if (std::fabs(value) <= r * OverRange)
            return r;
    return Ranges[std::size(Ranges) - 1];
}

} // namespace

MeterModel::MeterModel(const SupplyModel& supply, quint32 seed, bool ideal)
    : supply_(supply), noise_(seed), noiseCounts_(ideal ? IdealNoise : Noise)
{
    reset();
}

void MeterModel::reset()
{
    range_ = 0;
    integration_ = DefaultIntegration;
}

QList<Answer> MeterModel::receive(const QByteArray& bytes)
{
    QList<Answer> answers;
    pending_ += bytes;
    qsizetype end;
    while ((end = pending_.indexOf('\n')) >= 0) {
        const QByteArray line = pending_.left(end).trimmed();
        pending_.remove(0, end + 1);
        lines_.append(QString::fromLatin1(line));

        const qsizetype blank = line.indexOf(' ');
        QByteArray header = (blank < 0 ? line : line.left(blank)).toUpper();
        if (header.startsWith(':'))
            header.remove(0, 1);
        const QByteArray params = blank < 0 ? QByteArray() : line.mid(blank + 1).trimmed();
        const QList<FaultRule> fired = faults_.fire(header);

        Answer a;
        if (!FaultPlan::Loses(fired) && !line.isEmpty()) {
            a.bytes = answer(header, params, fired, a.extraDelay);
            if (!a.bytes.isEmpty())
                a.bytes += "\r\n";
        }
        FaultPlan::Apply(fired, a, false);
        answers.append(a);
    }
    // Noise without a line feed must not grow without bound.
    if (pending_.size() > MaxPending)
        pending_.clear();
    return answers;
}

QByteArray MeterModel::answer(const QByteArray& header, const QByteArray& params, const QList<FaultRule>& fired,
                              double& delay)
{
    const bool query = header.endsWith('?');
    const QByteArray name = query ? header.chopped(1) : header;
    if (query) {
        if (name == "*IDN")
            return Identity;
        if (Names(name, "SYSTem:ERRor:[NEXT]"))
            return errors_.isEmpty() ? QByteArray("+0,\"No error\"") : errors_.takeFirst();
        if (Names(name, "READ"))
            return reading(fired, delay);
        if (Names(name, "MEASure:VOLTage:[DC]"))
            return configure(params) ? reading(fired, delay) : QByteArray();
    } else if (name == "*RST") {
        reset();
        return {};
    } else if (name == "*CLS") {
        errors_.clear();
        return {};
    } else if (Names(name, "SYSTem:REMote") || Names(name, "SYSTem:RWLock")) {
        remote_ = true;
        return {};
    } else if (Names(name, "SYSTem:LOCal")) {
        remote_ = false;
        return {};
    } else if (Names(name, "CONFigure:VOLTage:[DC]")) {
        configure(params);
        return {};
    }
    queue(UndefinedHeader);
    return {};
}

QByteArray MeterModel::reading(const QList<FaultRule>& fired, double& delay)
{
    // Over RS-232 the meter takes no reading until it has been put in remote.
    if (!remote_) {
        queue(NotInLocal);
        return {};
    }
    delay = readingTime();
    double value = input();
    const double range = range_ > 0 ? range_ : AutoRange(value);
    const double step = Integrations[integration_].factor * range;
    if (std::fabs(value) > range * OverRange) {
        value = Overload;
    } else {
        const double spread = (double(noise_()) + double(noise_())) / 4294967296.0 - 1.0;
        value = std::round((value + spread * noiseCounts_ * step) / step) * step;
    }
    for (const FaultRule& r : fired) {
        if (r.kind == FaultRule::Kind::Zero)
            value = 0;
        else if (r.kind == FaultRule::Kind::Overload)
            value = Overload;
    }
    return FormatReading(value);
}

bool MeterModel::configure(const QByteArray& params)
{
    const QList<QByteArray> p = params.isEmpty() ? QList<QByteArray>() : params.toUpper().split(',');
    if (p.size() > 2) {
        queue(IllegalValue);
        return false;
    }
    const QByteArray r = p.value(0).trimmed();
    double range = 0;
    if (r == "MIN") {
        range = Ranges[0];
    } else if (r == "MAX") {
        range = Ranges[std::size(Ranges) - 1];
    } else if (!r.isEmpty() && r != "DEF" && r != "AUTO") {
        bool ok = false;
        const double v = std::fabs(r.toDouble(&ok));
        if (!ok || !std::isfinite(v)) {
            queue(IllegalValue);
            return false;
        }
        for (double candidate : Ranges) {
            if (v <= candidate * (1 + 1e-9)) {
                range = candidate;
                break;
            }
        }
        if (range == 0) {
            queue(OutOfRange);
            return false;
        }
    }

    const QByteArray res = p.value(1).trimmed();
    int integration = DefaultIntegration;
    if (res == "MIN") {
        integration = FinestIntegration;
    } else if (res == "MAX") {
        integration = 0;
    } else if (!res.isEmpty() && res != "DEF") {
        bool ok = false;
        const double v = res.toDouble(&ok);
        if (!ok || !(v > 0)) {
            queue(IllegalValue);
            return false;
        }
        // The fastest integration that resolves at least as finely as asked.
        const double against = range > 0 ? range : 10;
        integration = FinestIntegration;
        for (int i = FinestIntegration; i >= 0; --i)
            if (Integrations[i].factor * against <= v * (1 + 1e-9))
                integration = i;
    }
    range_ = range;
    integration_ = integration;
    return true;
}

void MeterModel::queue(const char* error)
{
    if (errors_.size() < MaxErrors)
        errors_.append(error);
}

double MeterModel::resolution() const
{
    return Integrations[integration_].factor * (range_ > 0 ? range_ : AutoRange(input()));
}

double MeterModel::readingTime() const
{
    return Overhead + 2 * Integrations[integration_].plc / Mains;
}

double MeterModel::input() const
{
    const SupplyModel::Output out = supply_.trueOutput();
    return supply_.shorted() ? out.amps * ShuntOhms : out.volts;
}

QByteArray MeterModel::FormatReading(double value)
{
    if (value == 0)
        value = 0; // no "-0"
    const QByteArray text = QByteArray::number(value, 'E', 8);
    return value < 0 ? text : '+' + text;
}

bool MeterModel::addFault(const QString& text, QString* error)
{
    std::optional<FaultRule> rule = FaultRule::Parse(text, error);
    if (!rule)
        return false;
    if (!rule->forMeter()) {
        if (error)
            *error = QStringLiteral("not a meter rule: its word is METER or a query such as READ?");
        return false;
    }
    rule->word = rule->word == "METER" ? QByteArray() : rule->word.toUpper();
    faults_.add(*rule);
    return true;
}

} // namespace psucal::sim
