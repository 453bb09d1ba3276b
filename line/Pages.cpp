#include "line/Pages.h"

#include "line/Html.h"
#include "line/LineStore.h"

namespace psucal::line::pages {

namespace {

using namespace html;

QString Time(const QDateTime& t)
{
    return t.time() == QTime(0, 0) ? t.toString(QStringLiteral("yyyy-MM-dd"))
                                   : t.toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"));
}

QString Verdict(const QString& v)
{
    return QStringLiteral("<span class=\"%1\">%2</span>")
        .arg(v == QLatin1String("PASS") ? QStringLiteral("pass") : QStringLiteral("fail"), Escape(v));
}

QString UnitHref(const QString& serial)
{
    return QStringLiteral("/unit/") + Segment(serial);
}

QString Day(QDate d)
{
    return d.isValid() ? d.toString(Qt::ISODate) : QString();
}

QString FilterForm(const QString& action, const Filter& f, const Choices& c, bool serialAndVerdict)
{
    QString out = QStringLiteral("<form method=\"get\" action=\"%1\" class=\"filter\">").arg(action);
    if (serialAndVerdict)
        out += Input(QStringLiteral("sn"), QStringLiteral("Serial"), f.serial);
    out += Choice(QStringLiteral("model"), QStringLiteral("Model"), c.models, f.model) +
           Choice(QStringLiteral("bench"), QStringLiteral("Bench"), c.benches, f.bench) +
           Input(QStringLiteral("from"), QStringLiteral("From"), Day(f.from), QStringLiteral("date")) +
           Input(QStringLiteral("to"), QStringLiteral("To"), Day(f.to), QStringLiteral("date"));
    if (serialAndVerdict)
        out += Choice(QStringLiteral("verdict"), QStringLiteral("Verdict"), {"PASS", "FAIL"}, f.verdict);
    return out + QStringLiteral("<button type=\"submit\">Show</button></form>");
}

QString SpotTable(const UnitRun& r, bool current)
{
    QList<QStringList> rows;
    for (const Spot& s : r.spots) {
        const auto& v = current ? s.current : s.voltage;
        rows << QStringList{QString::number(s.step), Escape(v[0]), Escape(v[1]), Escape(v[2])};
    }
    const QString unit = current ? QStringLiteral("A") : QStringLiteral("V");
    return Table({QStringLiteral("Step"), QStringLiteral("Setting ") + unit, QStringLiteral("Display ") + unit,
                  QStringLiteral("Output ") + unit},
                 rows, QStringLiteral("spots"));
}

QString YieldTable(const QString& title, const QList<YieldRow>& rows)
{
    QList<QStringList> cells;
    for (const YieldRow& r : rows)
        cells << QStringList{Escape(r.key), QString::number(r.pass), QString::number(r.fail),
                             QString::number(100.0 * r.ratio(), 'f', 1) + u'%'};
    return QStringLiteral("<section><h2>%1</h2>").arg(Escape(title)) +
           Table({title.section(u' ', -1), QStringLiteral("PASS"), QStringLiteral("FAIL"), QStringLiteral("Yield")}, cells) +
           QStringLiteral("</section>");
}

QString Number(double v, int decimals)
{
    return QString::number(v, 'f', decimals);
}

} // namespace

QString FilterQuery(const Filter& f, int page, const QString& format)
{
    return Query({{"sn", f.serial},
                  {"model", f.model},
                  {"bench", f.bench},
                  {"from", Day(f.from)},
                  {"to", Day(f.to)},
                  {"verdict", f.verdict},
                  {"page", page > 1 ? QString::number(page) : QString()},
                  {"format", format}});
}

QByteArray Search(const Filter& f, const SearchResult& result, const Choices& choices)
{
    QString body = FilterForm(QStringLiteral("/"), f, choices, true);
    const qlonglong pages = std::max<qlonglong>(1, (result.total + LineStore::PageSize - 1) / LineStore::PageSize);
    body += QStringLiteral("<p class=\"count\" id=\"count\">%1 %2 match · page %3 of %4 · %5</p>")
                .arg(QString::number(result.total), result.total == 1 ? QStringLiteral("run") : QStringLiteral("runs"),
                     QString::number(f.page), QString::number(pages),
                     Link(QStringLiteral("/") + FilterQuery(f, 0, QStringLiteral("csv")), QStringLiteral("CSV")));
    QList<QStringList> rows;
    for (const Run& r : result.runs)
        rows << QStringList{Escape(Time(r.when)), Link(UnitHref(r.serial), r.serial), Escape(r.model), Escape(r.bench),
                            Verdict(r.verdict)};
    body += Table({"Time", "Serial", "Model", "Bench", "Verdict"}, rows, QStringLiteral("runs"));
    QStringList paging;
    if (f.page > 1)
        paging << Link(QStringLiteral("/") + FilterQuery(f, f.page - 1), QStringLiteral("← newer"));
    if (f.page < pages)
        paging << Link(QStringLiteral("/") + FilterQuery(f, f.page + 1), QStringLiteral("older →"));
    body += QStringLiteral("<p class=\"paging\">%1</p>").arg(paging.join(QStringLiteral(" · ")));
    return Page(QStringLiteral("Search"), body);
}

QByteArray Unit(const QString& serial, const QList<UnitRun>& runs)
{
    const QString href = UnitHref(serial);
    QString body = QStringLiteral("<p>%1 %2 · %3 · %4</p>")
                       .arg(QString::number(runs.size()),
                            runs.size() == 1 ? QStringLiteral("run") : QStringLiteral("runs, newest first"),
                            Link(QStringLiteral("/api") + href, QStringLiteral("JSON")),
                            Link(QStringLiteral("/api") + href + QStringLiteral("?format=csv"), QStringLiteral("CSV")));
    for (const UnitRun& r : runs) {
        const QString id = QString::number(r.run.id);
        body += QStringLiteral("<section class=\"run\" id=\"run-%1\"><h2>Run %1 · %2 · %3 · %4</h2>")
                    .arg(id, Escape(Time(r.run.when)), Escape(r.run.bench), Verdict(r.run.verdict));
        body += QStringLiteral("<p class=\"facts\">Model %1 · Max %2 V / %3 A · Test date %4 · Tested by %5 · "
                               "Equipment %6 · Ambient %7 °C · %8</p>")
                    .arg(Escape(r.run.model), Escape(r.maxV), Escape(r.maxC), Escape(r.testDate), Escape(r.testedBy),
                         Escape(r.equipment), Escape(r.ambient),
                         Link(href + QStringLiteral("/report.pdf?run=") + id, QStringLiteral("Report (PDF)")));
        body += QStringLiteral("<div class=\"grids\">") + SpotTable(r, false) + SpotTable(r, true) +
                QStringLiteral("</div><div class=\"charts\">");
        for (const char* quantity : {"voltage", "current"})
            body += QStringLiteral("<div class=\"chart\"><canvas data-chart=\"unit\" data-src=\"%1\" data-run=\"%2\" "
                                   "data-quantity=\"%3\"></canvas></div>")
                        .arg(Escape(QStringLiteral("/api") + href), id, QLatin1String(quantity));
        body += QStringLiteral("</div></section>");
    }
    return Page(QStringLiteral("Unit ") + serial, body, true);
}

QByteArray YieldPage(const Filter& f, const Yield& y, const Choices& choices)
{
    const QString query = FilterQuery(f);
    QString body = FilterForm(QStringLiteral("/yield"), f, choices, false);
    body += QStringLiteral("<p>%1 · %2</p>")
                .arg(Link(QStringLiteral("/api/yield") + query, QStringLiteral("JSON")),
                     Link(QStringLiteral("/yield") + FilterQuery(f, 0, QStringLiteral("csv")), QStringLiteral("CSV")));
    body += QStringLiteral("<div class=\"chart wide\"><canvas id=\"yield-chart\" data-chart=\"yield\" "
                           "data-src=\"%1\"></canvas></div>")
                .arg(Escape(QStringLiteral("/api/yield") + query));
    body += QStringLiteral("<div class=\"tables\">") + YieldTable(QStringLiteral("Per day"), y.days) +
            YieldTable(QStringLiteral("Per model"), y.models) + YieldTable(QStringLiteral("Per bench"), y.benches) +
            QStringLiteral("</div>");
    return Page(QStringLiteral("Yield"), body, true);
}

QByteArray DriftPage(const QString& model, int spot, QDate from, QDate to, const Drift* drift, const QStringList& models)
{
    QString body = QStringLiteral("<form method=\"get\" action=\"/drift\" class=\"filter\">") +
                   Choice(QStringLiteral("model"), QStringLiteral("Model"), models, model) +
                   Input(QStringLiteral("spot"), QStringLiteral("Spot"), QString::number(spot), QStringLiteral("number")) +
                   Input(QStringLiteral("from"), QStringLiteral("From"), Day(from), QStringLiteral("date")) +
                   Input(QStringLiteral("to"), QStringLiteral("To"), Day(to), QStringLiteral("date")) +
                   QStringLiteral("<button type=\"submit\">Show</button></form>");
    if (!drift)
        return Page(QStringLiteral("Drift"), body + QStringLiteral("<p>Choose a model.</p>"));
    const QString query = Query({{"model", model}, {"spot", QString::number(spot)}, {"from", Day(from)}, {"to", Day(to)}});
    const QString csvQuery = Query({{"model", model}, {"spot", QString::number(spot)}, {"from", Day(from)},
                                    {"to", Day(to)}, {"format", "csv"}});
    body += QStringLiteral("<p>%1 units · limits ±%2 V, ±%3 A · %4 · %5</p>")
                .arg(QString::number(drift->points.size()), Number(drift->limit[0], 3), Number(drift->limit[1], 4),
                     Link(QStringLiteral("/api/drift") + query, QStringLiteral("JSON")),
                     Link(QStringLiteral("/drift") + csvQuery, QStringLiteral("CSV")));
    const QString src = Escape(QStringLiteral("/api/drift") + query);
    for (const char* quantity : {"voltage", "current"})
        body += QStringLiteral("<h2>Output − Setting, %1</h2><div class=\"charts\"><div class=\"chart\"><canvas "
                               "data-chart=\"drift\" data-src=\"%2\" data-quantity=\"%1\"></canvas></div>"
                               "<div class=\"chart\"><canvas data-chart=\"drift-bench\" data-src=\"%2\" "
                               "data-quantity=\"%1\"></canvas></div></div>")
                    .arg(QLatin1String(quantity), src);
    QList<QStringList> rows;
    for (const BenchDrift& b : drift->benches)
        rows << QStringList{Escape(b.bench), QString::number(b.count), Number(b.mean[0], 3), Number(b.low[0], 3),
                            Number(b.high[0], 3), Number(b.mean[1], 4), Number(b.low[1], 4), Number(b.high[1], 4)};
    body += QStringLiteral("<h2>Per bench</h2>") +
            Table({"Bench", "Units", "Mean V", "Lowest V", "Highest V", "Mean A", "Lowest A", "Highest A"}, rows);
    return Page(QStringLiteral("Drift of ") + model + QStringLiteral(" at spot ") + QString::number(spot), body, true);
}

QByteArray Message(const QString& title, const QString& text)
{
    return Page(title, QStringLiteral("<p class=\"message\">%1</p>").arg(Escape(text)));
}

QByteArray Login(bool refused)
{
    QString body;
    if (refused)
        body += QStringLiteral("<p class=\"message\">That token is not the one this server expects.</p>");
    body += QStringLiteral("<form method=\"post\" action=\"/login\"><label>Token <input type=\"password\" "
                           "name=\"token\" autocomplete=\"current-password\"></label><button type=\"submit\">Log in"
                           "</button></form>");
    return Page(QStringLiteral("Log in"), body);
}

} // namespace psucal::line::pages
