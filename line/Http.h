#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace psucal::line {

// A request as the pages see it: the path split into percent-decoded segments, so that a serial
// holding a slash stays one segment, and the query's values decoded as a form sends them.
struct Request {
    QByteArray method = "GET";
    QStringList segments;
    QHash<QString, QString> query;
    QByteArray authorization;
    QByteArray cookie;
    QByteArray body;

    // `target` is the path and query as sent ("/unit/A%2F1?run=2").
    static Request Parse(const QByteArray& method, const QByteArray& target);
    // "a=1&b=x+y" -> {a: 1, b: "x y"}; the first of a repeated key counts.
    static QHash<QString, QString> ParseForm(const QByteArray& form);
};

struct Reply {
    int status = 200;
    QByteArray type = "text/html; charset=utf-8";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
};

} // namespace psucal::line
