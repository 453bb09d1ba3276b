#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace psucal::line::html {

// Text for an element's content or a quoted attribute: every character that HTML gives a
// meaning is written as a reference.
QString Escape(const QString& text);

// A path segment: everything but unreserved characters percent-encoded, "/" included.
QString Segment(const QString& text);
// "?a=1&b=2" from pairs whose value is not empty; empty when none is.
QString Query(const QList<QPair<QString, QString>>& pairs);

// A whole page: head with the style sheet and the script (and the chart library when asked),
// the navigation, an h1 of `title` and `body`, which must already be escaped.
QByteArray Page(const QString& title, const QString& body, bool charts = false);

// A table whose cells are already escaped.
QString Table(const QStringList& head, const QList<QStringList>& rows, const QString& cssClass = QString());

// <a href="...">text</a>; the href already encoded, the text escaped here.
QString Link(const QString& href, const QString& text);

// A form field: a labelled text, date or number input, or a choice among `options` ("" first, as
// "any").
QString Input(const QString& name, const QString& label, const QString& value, const QString& type = "text");
QString Choice(const QString& name, const QString& label, const QStringList& options, const QString& value);

} // namespace psucal::line::html
