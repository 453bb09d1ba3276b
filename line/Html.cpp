#include "line/Html.h"

#include <QUrl>

namespace psucal::line::html {

QString Escape(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '&': out += QLatin1String("&amp;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\'': out += QLatin1String("&#39;"); break;
        default: out += c;
        }
    }
    return out;
}

QString Segment(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

QString Query(const QList<QPair<QString, QString>>& pairs)
{
    QStringList parts;
    for (const auto& [key, value] : pairs)
        if (!value.isEmpty())
            parts << Segment(key) + u'=' + Segment(value);
    return parts.isEmpty() ? QString() : u'?' + parts.join(u'&');
}

QByteArray Page(const QString& title, const QString& body, bool charts)
{
    QString head = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                                  "<meta name=\"viewport\" content=\"width=device-width\">"
                                  "<title>%1 · psucal line</title><link rel=\"stylesheet\" href=\"/static/line.css\">")
                       .arg(Escape(title));
    if (charts)
        head += QStringLiteral("<script src=\"/static/chart.js\" defer></script>");
    head += QStringLiteral("<script src=\"/static/line.js\" defer></script></head><body>"
                           "<nav><a href=\"/\">Search</a><a href=\"/yield\">Yield</a><a href=\"/drift\">Drift</a></nav>"
                           "<main><h1>%1</h1>")
                .arg(Escape(title));
    return (head + body + QStringLiteral("</main></body></html>\n")).toUtf8();
}

QString Table(const QStringList& head, const QList<QStringList>& rows, const QString& cssClass)
{
    QString out = cssClass.isEmpty() ? QStringLiteral("<table><thead><tr>")
                                     : QStringLiteral("<table class=\"%1\"><thead><tr>").arg(cssClass);
    for (const QString& h : head)
        out += QStringLiteral("<th>%1</th>").arg(Escape(h));
    out += QStringLiteral("</tr></thead><tbody>");
    for (const QStringList& row : rows) {
        out += QStringLiteral("<tr>");
        for (const QString& cell : row)
            out += QStringLiteral("<td>") + cell + QStringLiteral("</td>");
        out += QStringLiteral("</tr>");
    }
    return out + QStringLiteral("</tbody></table>");
}

QString Link(const QString& href, const QString& text)
{
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(Escape(href), Escape(text));
}

QString Input(const QString& name, const QString& label, const QString& value, const QString& type)
{
    return QStringLiteral("<label>%1 <input type=\"%2\" name=\"%3\" value=\"%4\"></label>")
        .arg(Escape(label), type, name, Escape(value));
}

QString Choice(const QString& name, const QString& label, const QStringList& options, const QString& value)
{
    QString out = QStringLiteral("<label>%1 <select name=\"%2\"><option value=\"\">any</option>").arg(Escape(label), name);
    for (const QString& o : options)
        out += QStringLiteral("<option%1>%2</option>")
                   .arg(o == value ? QStringLiteral(" selected") : QString(), Escape(o));
    return out + QStringLiteral("</select></label>");
}

} // namespace psucal::line::html
