#pragma once

#include "line/LineData.h"

#include <QByteArray>
#include <QJsonObject>

namespace psucal::line::exports {

// The data of each page as JSON and its list as CSV (a header line, then one line a row).
QJsonObject SearchJson(const Filter& filter, const SearchResult& result);
QByteArray SearchCsv(const SearchResult& result);
QJsonObject UnitJson(const QString& serial, const QList<UnitRun>& runs);
QByteArray UnitCsv(const QList<UnitRun>& runs);
QJsonObject YieldJson(const Filter& filter, const Yield& yield);
QByteArray YieldCsv(const Yield& yield);
QJsonObject DriftJson(const QString& model, int spot, QDate from, QDate to, const Drift& drift);
QByteArray DriftCsv(const Drift& drift);

// One CSV field: quoted when it holds a comma, quote or line end; a text a spreadsheet would take
// for a formula is kept as text.
QString CsvField(const QString& text);

} // namespace psucal::line::exports
