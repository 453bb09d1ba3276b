#include "line/LineRouter.h"

#include "core/Rating.h"

#include "line/Exports.h"
#include "line/Pages.h"
#include "line/Reprint.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace psucal::line {

namespace {

// Bad input, for a 400 reply.
struct BadRequest {
    QString why;
};

Reply Html(const QByteArray& body, int status = 200)
{
    return {status, "text/html; charset=utf-8", body, {}};
}

Reply Json(const QJsonObject& o, int status = 200)
{
    return {status, "application/json", QJsonDocument(o).toJson(QJsonDocument::Compact), {}};
}

Reply Csv(const QByteArray& body, const QString& name)
{
    return {200, "text/csv; charset=utf-8", body,
            {{"Content-Disposition", QStringLiteral("attachment; filename=\"%1.csv\"").arg(name).toUtf8()}}};
}

Reply Problem(int status, const QString& title, const QString& text, bool api)
{
    return api ? Json({{"error", text}}, status) : Html(pages::Message(title, text), status);
}

QString Format(const Request& r)
{
    const QString f = r.query.value(QStringLiteral("format"));
    if (!f.isEmpty() && f != QLatin1String("csv") && f != QLatin1String("json") && f != QLatin1String("html"))
        throw BadRequest{QStringLiteral("format is csv, json or html")};
    return f;
}

QString Text(const Request& r, const char* key, int longest = 64)
{
    const QString v = r.query.value(QLatin1String(key)).trimmed();
    if (v.size() > longest)
        throw BadRequest{QStringLiteral("%1 is longer than %2 characters").arg(QLatin1String(key)).arg(longest)};
    return v;
}

int Number(const Request& r, const char* key, int fallback, int lowest, int highest)
{
    const QString v = r.query.value(QLatin1String(key));
    if (v.isEmpty())
        return fallback;
    bool ok = false;
    const int n = v.toInt(&ok);
    if (!ok || n < lowest || n > highest)
        throw BadRequest{QStringLiteral("%1 must be a whole number from %2 to %3").arg(QLatin1String(key)).arg(lowest).arg(highest)};
    return n;
}

QDate Day(const Request& r, const char* key)
{
    const QString v = r.query.value(QLatin1String(key));
    if (v.isEmpty())
        return {};
    const QDate d = QDate::fromString(v, Qt::ISODate);
    if (!d.isValid() || v.size() != 10)
        throw BadRequest{QStringLiteral("%1 must be a date, YYYY-MM-DD").arg(QLatin1String(key))};
    return d;
}

Filter ReadFilter(const Request& r)
{
    Filter f;
    f.serial = Text(r, "sn", 16);
    f.model = Text(r, "model");
    f.bench = Text(r, "bench", 255);
    f.from = Day(r, "from");
    f.to = Day(r, "to");
    f.verdict = Text(r, "verdict").toUpper();
    if (!f.verdict.isEmpty() && f.verdict != QLatin1String("PASS") && f.verdict != QLatin1String("FAIL"))
        throw BadRequest{QStringLiteral("verdict is PASS or FAIL")};
    f.page = Number(r, "page", 1, 1, LineRouter::MaxPage);
    if (f.from.isValid() && f.to.isValid() && f.to < f.from)
        throw BadRequest{QStringLiteral("to comes before from")};
    return f;
}

// A range of at most MaxDays, ending today unless `to` says otherwise.
void Span(QDate* from, QDate* to, int days)
{
    if (!to->isValid())
        *to = QDate::currentDate();
    if (!from->isValid())
        *from = to->addDays(1 - days);
    if (*to < *from)
        throw BadRequest{QStringLiteral("to comes before from")};
    if (from->daysTo(*to) >= LineRouter::MaxDays)
        throw BadRequest{QStringLiteral("a range spans %1 days at most").arg(LineRouter::MaxDays)};
}

} // namespace

LineRouter::LineRouter(LineStore& store, const Access& access, QString chartScript)
    : store_(store), access_(access), chartScript_(std::move(chartScript))
{
}

QList<QPair<QByteArray, QByteArray>> LineRouter::SecurityHeaders()
{
    return {{"Content-Security-Policy", "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
                                        "connect-src 'self'; form-action 'self'; base-uri 'none'; frame-ancestors 'none'"},
            {"X-Content-Type-Options", "nosniff"},
            {"Referrer-Policy", "no-referrer"},
            {"Cache-Control", "no-store"}};
}

Reply LineRouter::handle(const Request& request)
{
    Reply reply;
    const bool api = !request.segments.isEmpty() && request.segments.first() == QLatin1String("api");
    try {
        reply = route(request);
    } catch (const BadRequest& bad) {
        reply = Problem(400, QStringLiteral("Bad request"), bad.why, api);
    }
    reply.headers += SecurityHeaders();
    return reply;
}

Reply LineRouter::route(const Request& r)
{
    const QStringList& s = r.segments;
    const bool isStatic = s.size() == 2 && s[0] == QLatin1String("static");
    if (s.size() == 1 && s[0] == QLatin1String("login"))
        return login(r);
    if (isStatic && s[1] == QLatin1String("line.css"))
        return staticFile(s[1]);
    const bool api = !s.isEmpty() && s[0] == QLatin1String("api");
    if (!access_.allows(r))
        return api ? Json({{"error", "a token is needed"}}, 401) : Html(pages::Login(false), 401);
    if (r.method != "GET" && r.method != "HEAD")
        return Problem(405, QStringLiteral("Not allowed"), QStringLiteral("psucal-line only reads"), api);
    if (isStatic)
        return staticFile(s[1]);
    const QStringList rest = api ? s.mid(1) : s;
    if (rest.isEmpty() || (api && rest == QStringList{QStringLiteral("search")}))
        return search(r, api);
    if (rest.size() == 2 && rest[0] == QLatin1String("unit"))
        return unit(rest[1], r, api);
    if (!api && rest.size() == 3 && rest[0] == QLatin1String("unit") && rest[2] == QLatin1String("report.pdf"))
        return reprint(rest[1], r);
    if (rest == QStringList{QStringLiteral("yield")})
        return yield(r, api);
    if (rest == QStringList{QStringLiteral("drift")})
        return drift(r, api);
    return Problem(404, QStringLiteral("Not found"), QStringLiteral("There is no such page."), api);
}

Reply LineRouter::unreachable(const QString& error, bool api) const
{
    return Problem(503, QStringLiteral("Records unreachable"),
                   QStringLiteral("The records store cannot be reached just now: %1. Try again in a moment.").arg(error),
                   api);
}

Reply LineRouter::search(const Request& r, bool api)
{
    const QString format = Format(r);
    const Filter f = ReadFilter(r);
    QString error;
    const bool csv = format == QLatin1String("csv");
    Filter asked = f;
    if (csv)
        asked.page = 1;
    const auto result = store_.search(asked, csv ? MaxCsvRows : LineStore::PageSize, &error);
    if (!result)
        return unreachable(error, api);
    if (csv)
        return Csv(exports::SearchCsv(*result), QStringLiteral("runs"));
    if (api || format == QLatin1String("json"))
        return Json(exports::SearchJson(f, *result));
    const auto models = store_.distinct("model", &error);
    const auto benches = store_.distinct("bench", &error);
    if (!models || !benches)
        return unreachable(error, api);
    return Html(pages::Search(f, *result, {*models, *benches}));
}

Reply LineRouter::unit(const QString& serial, const Request& r, bool api)
{
    const QString format = Format(r);
    QString error;
    const auto runs = store_.unit(serial, &error);
    if (!runs)
        return unreachable(error, api);
    if (runs->isEmpty())
        return Problem(404, QStringLiteral("Unknown unit"), QStringLiteral("No runs of %1 are kept.").arg(serial), api);
    if (format == QLatin1String("csv"))
        return Csv(exports::UnitCsv(*runs), QStringLiteral("unit"));
    if (api || format == QLatin1String("json"))
        return Json(exports::UnitJson(serial, *runs));
    return Html(pages::Unit(serial, *runs));
}

Reply LineRouter::reprint(const QString& serial, const Request& r)
{
    const qlonglong wanted = Number(r, "run", 0, 1, std::numeric_limits<int>::max());
    QString error;
    const auto runs = store_.unit(serial, &error);
    if (!runs)
        return unreachable(error, false);
    const auto run = std::ranges::find_if(*runs, [&](const UnitRun& u) { return wanted == 0 || u.run.id == wanted; });
    if (run == runs->end())
        return Problem(404, QStringLiteral("Unknown run"),
                       QStringLiteral("%1 has no such run kept.").arg(serial), false);
    const QByteArray pdf = ReprintPdf(*run, &error);
    if (pdf.isEmpty())
        return Problem(500, QStringLiteral("No report"), QStringLiteral("The report could not be painted: %1").arg(error),
                       false);
    return {200, "application/pdf", pdf,
            {{"Content-Disposition", QStringLiteral("attachment; filename=\"report-%1.pdf\"").arg(run->run.id).toUtf8()}}};
}

Reply LineRouter::yield(const Request& r, bool api)
{
    const QString format = Format(r);
    Filter f = ReadFilter(r);
    Span(&f.from, &f.to, 30);
    QString error;
    const auto y = store_.yield(f, &error);
    if (!y)
        return unreachable(error, api);
    if (format == QLatin1String("csv"))
        return Csv(exports::YieldCsv(*y), QStringLiteral("yield"));
    if (api || format == QLatin1String("json"))
        return Json(exports::YieldJson(f, *y));
    const auto models = store_.distinct("model", &error);
    const auto benches = store_.distinct("bench", &error);
    if (!models || !benches)
        return unreachable(error, api);
    return Html(pages::YieldPage(f, *y, {*models, *benches}));
}

Reply LineRouter::drift(const Request& r, bool api)
{
    const QString format = Format(r);
    const QString model = Text(r, "model");
    const int spot = Number(r, "spot", 1, 1, 80);
    QDate from = Day(r, "from"), to = Day(r, "to");
    Span(&from, &to, 90);
    QString error;
    if (model.isEmpty()) {
        if (api || !format.isEmpty())
            throw BadRequest{QStringLiteral("model is needed: ") + ListedAs(RatingNames())};
        const auto models = store_.distinct("model", &error);
        if (!models)
            return unreachable(error, api);
        return Html(pages::DriftPage(model, spot, from, to, nullptr, *models));
    }
    const auto d = store_.drift(model, spot, from, to, &error);
    if (!d)
        return unreachable(error, api);
    if (format == QLatin1String("csv"))
        return Csv(exports::DriftCsv(*d), QStringLiteral("drift"));
    if (api || format == QLatin1String("json"))
        return Json(exports::DriftJson(model, spot, from, to, *d));
    const auto models = store_.distinct("model", &error);
    if (!models)
        return unreachable(error, api);
    return Html(pages::DriftPage(model, spot, from, to, &*d, *models));
}

Reply LineRouter::login(const Request& r)
{
    if (r.method != "POST")
        return Html(pages::Login(false));
    if (!access_.matches(Request::ParseForm(r.body).value(QStringLiteral("token")).toUtf8()))
        return Html(pages::Login(true), 401);
    return {303, "text/plain", {}, {{"Location", "/"}, {"Set-Cookie", access_.cookie()}}};
}

Reply LineRouter::staticFile(const QString& name)
{
    const bool chart = name == QLatin1String("chart.js");
    QFile file(chart ? chartScript_ : QStringLiteral(":/line/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return Problem(404, QStringLiteral("Not found"), QStringLiteral("There is no such file."), false);
    const QByteArray type = name.endsWith(QLatin1String(".css")) ? "text/css; charset=utf-8"
                                                                 : "text/javascript; charset=utf-8";
    Reply reply{200, type, file.readAll(), {}};
    return reply;
}

} // namespace psucal::line
