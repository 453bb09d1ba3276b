#include "line/Http.h"

#include <QUrl>

namespace psucal::line {

namespace {

QString Decode(QByteArray part)
{
    return QUrl::fromPercentEncoding(part.replace('+', ' '));
}

} // namespace

QHash<QString, QString> Request::ParseForm(const QByteArray& form)
{
    QHash<QString, QString> out;
    for (const QByteArray& pair : form.split('&')) {
        if (pair.isEmpty())
            continue;
        const qsizetype eq = pair.indexOf('=');
        const QString key = Decode(pair.left(eq < 0 ? pair.size() : eq));
        if (!out.contains(key))
            out.insert(key, eq < 0 ? QString() : Decode(pair.mid(eq + 1)));
    }
    return out;
}

Request Request::Parse(const QByteArray& method, const QByteArray& target)
{
    Request r;
    r.method = method;
    const qsizetype q = target.indexOf('?');
    const QByteArray path = target.left(q < 0 ? target.size() : q);
    if (q >= 0)
        r.query = ParseForm(target.mid(q + 1));
    for (const QByteArray& segment : path.split('/'))
        if (!segment.isEmpty())
            r.segments << QUrl::fromPercentEncoding(segment);
    return r;
}

} // namespace psucal::line
