#pragma once

#include "line/LineData.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace psucal::line::pages {

// The choices a filter form offers.
struct Choices {
    QStringList models, benches;
};

// The address of a list with its filter, for paging and downloads; `path` "/" or "/yield".
QString FilterQuery(const Filter& filter, int page = 0, const QString& format = QString());

QByteArray Search(const Filter& filter, const SearchResult& result, const Choices& choices);
QByteArray Unit(const QString& serial, const QList<UnitRun>& runs);
QByteArray YieldPage(const Filter& filter, const Yield& yield, const Choices& choices);
// Without a model only the form shows.
QByteArray DriftPage(const QString& model, int spot, QDate from, QDate to, const Drift* drift,
                     const QStringList& models);
QByteArray Message(const QString& title, const QString& text);
QByteArray Login(bool refused);

} // namespace psucal::line::pages
