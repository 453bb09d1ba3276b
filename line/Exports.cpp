#include "line/Exports.h"

#include "line/LineStore.h"

#include <QJsonArray>
#include <QStringList>

#include <cmath>

namespace psucal::line::exports {

namespace {

QString Time(const QDateTime& t)
{
    return t.toUTC().toString(Qt::ISODate);
}

QJsonObject RunJson(const Run& r)
{
    return {{"id", r.id}, {"serial", r.serial}, {"bench", r.bench}, {"model", r.model}, {"verdict", r.verdict},
            {"time", Time(r.when)}};
}

QByteArray Csv(const QStringList& head, const QList<QStringList>& rows)
{
    QString out = head.join(u',') + u'\n';
    for (const QStringList& row : rows) {
        QStringList fields;
        for (const QString& f : row)
            fields << CsvField(f);
        out += fields.join(u',') + u'\n';
    }
    return out.toUtf8();
}

QJsonArray YieldRows(const QList<YieldRow>& rows)
{
    QJsonArray out;
    for (const YieldRow& r : rows)
        out << QJsonObject{{"key", r.key}, {"pass", r.pass}, {"fail", r.fail}, {"ratio", r.ratio()}};
    return out;
}

QJsonObject Triple(const std::array<QString, 3>& v)
{
    return {{"setting", v[0]}, {"display", v[1]}, {"output", v[2]}};
}

QString Day(QDate d)
{
    return d.isValid() ? d.toString(Qt::ISODate) : QString();
}

// A difference of two readings to a µV or µA: the subtraction's binary noise (0.0019999999999997797)
// would otherwise make up most of a long series' bytes.
double Micro(double v)
{
    return std::round(v * 1e6) / 1e6;
}

} // namespace

QString CsvField(const QString& text)
{
    QString s = text;
    if (!s.isEmpty() && QStringLiteral("=+@\t\r").contains(s.front()))
        s.prepend(u'\'');
    if (s.contains(u',') || s.contains(u'"') || s.contains(u'\n') || s.contains(u'\r'))
        return u'"' + s.replace(u'"', QStringLiteral("\"\"")) + u'"';
    return s;
}

QJsonObject SearchJson(const Filter& f, const SearchResult& result)
{
    QJsonArray runs;
    for (const Run& r : result.runs)
        runs << RunJson(r);
    return {{"total", result.total}, {"page", f.page}, {"pageSize", LineStore::PageSize}, {"runs", runs}};
}

QByteArray SearchCsv(const SearchResult& result)
{
    QList<QStringList> rows;
    for (const Run& r : result.runs)
        rows << QStringList{QString::number(r.id), Time(r.when), r.serial, r.model, r.bench, r.verdict};
    return Csv({"run", "time", "serial", "model", "bench", "verdict"}, rows);
}

QJsonObject UnitJson(const QString& serial, const QList<UnitRun>& runs)
{
    QJsonArray out;
    for (const UnitRun& r : runs) {
        QJsonArray spots;
        for (const Spot& s : r.spots)
            spots << QJsonObject{{"step", s.step}, {"voltage", Triple(s.voltage)}, {"current", Triple(s.current)}};
        QJsonObject o = RunJson(r.run);
        o.insert("maxV", r.maxV);
        o.insert("maxC", r.maxC);
        o.insert("equipment", r.equipment);
        o.insert("ambient", r.ambient);
        o.insert("testedBy", r.testedBy);
        o.insert("testDate", r.testDate);
        o.insert("spots", spots);
        out << o;
    }
    return {{"serial", serial}, {"runs", out}};
}

QByteArray UnitCsv(const QList<UnitRun>& runs)
{
    QList<QStringList> rows;
    for (const UnitRun& r : runs)
        for (const Spot& s : r.spots)
            rows << QStringList{QString::number(r.run.id), Time(r.run.when), r.run.bench, r.run.verdict,
                                QString::number(s.step)} +
                        QStringList(s.voltage.begin(), s.voltage.end()) + QStringList(s.current.begin(), s.current.end());
    return Csv({"run", "time", "bench", "verdict", "step", "SV", "DV", "OV", "SC", "DC", "OC"}, rows);
}

QJsonObject YieldJson(const Filter& f, const Yield& y)
{
    return {{"from", Day(f.from)},
            {"to", Day(f.to)},
            {"days", YieldRows(y.days)},
            {"models", YieldRows(y.models)},
            {"benches", YieldRows(y.benches)}};
}

QByteArray YieldCsv(const Yield& y)
{
    QList<QStringList> rows;
    const std::pair<const char*, const QList<YieldRow>*> groups[] = {
        {"day", &y.days}, {"model", &y.models}, {"bench", &y.benches}};
    for (const auto& [name, list] : groups)
        for (const YieldRow& r : *list)
            rows << QStringList{QLatin1String(name), r.key, QString::number(r.pass), QString::number(r.fail),
                                QString::number(r.ratio(), 'f', 4)};
    return Csv({"group", "key", "pass", "fail", "ratio"}, rows);
}

QJsonObject DriftJson(const QString& model, int spot, QDate from, QDate to, const Drift& d)
{
    QJsonArray points, benches;
    for (const DriftPoint& p : d.points)
        points << QJsonObject{{"time", Time(p.when)}, {"serial", p.serial}, {"bench", p.bench},
                              {"voltage", Micro(p.deviation[0])}, {"current", Micro(p.deviation[1])}};
    for (const BenchDrift& b : d.benches) {
        const auto q = [&](int k) {
            return QJsonObject{{"mean", Micro(b.mean[k])}, {"low", Micro(b.low[k])}, {"high", Micro(b.high[k])}};
        };
        benches << QJsonObject{{"bench", b.bench}, {"count", b.count}, {"voltage", q(0)}, {"current", q(1)}};
    }
    return {{"model", model},   {"spot", spot},
            {"from", Day(from)}, {"to", Day(to)},
            {"limits", QJsonObject{{"voltage", d.limit[0]}, {"current", d.limit[1]}}},
            {"points", points},  {"benches", benches}};
}

QByteArray DriftCsv(const Drift& d)
{
    QList<QStringList> rows;
    for (const DriftPoint& p : d.points)
        rows << QStringList{Time(p.when), p.serial, p.bench, QString::number(p.setting[0]),
                            QString::number(p.deviation[0], 'f', 4), QString::number(p.setting[1]),
                            QString::number(p.deviation[1], 'f', 4)};
    return Csv({"time", "serial", "bench", "voltage setting", "voltage deviation", "current setting",
                "current deviation"},
               rows);
}

} // namespace psucal::line::exports
