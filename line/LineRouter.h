#pragma once

#include "line/Access.h"
#include "line/Http.h"
#include "line/LineStore.h"

#include <QString>

namespace psucal::line {

// Every address of psucal-line: pages, their JSON under /api/, CSV with format=csv, the reprinted
// reports, the login form and the static files. Bad input is a 400 page, an unknown unit or
// address a 404, an unreachable store a 503; nothing here throws.
class LineRouter {
public:
    // Longest date range a yield or drift may span, and the deepest page of a search.
    static constexpr int MaxDays = 2 * 366;
    static constexpr int MaxPage = 2000;
    // CSV of a search carries at most this many runs.
    static constexpr int MaxCsvRows = 10000;

    // `chartScript` is the chart library's file, served as /static/chart.js.
    LineRouter(LineStore& store, const Access& access, QString chartScript);

    Reply handle(const Request& request);

    // Headers every reply carries: no inline script, no framing, no sniffing.
    static QList<QPair<QByteArray, QByteArray>> SecurityHeaders();

private:
    Reply route(const Request& request);
    Reply search(const Request& r, bool api);
    Reply unit(const QString& serial, const Request& r, bool api);
    Reply reprint(const QString& serial, const Request& r);
    Reply yield(const Request& r, bool api);
    Reply drift(const Request& r, bool api);
    Reply login(const Request& r);
    Reply staticFile(const QString& name);
    Reply unreachable(const QString& error, bool api) const;

    LineStore& store_;
    const Access& access_;
    QString chartScript_;
};

} // namespace psucal::line
