#pragma once

#include "db/ServerAddress.h"
#include "line/LineData.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <functional>
#include <optional>

namespace psucal::line {

// The line's records, read and never written: the runs on the line's PostgreSQL server, or the
// latest run of each unit in a bench's Calibration.dt. A connection that fails a query is
// replaced at once and again at the next request, so a server that went away and came back is
// used again without a restart.
class LineStore {
public:
    static constexpr int PageSize = 50;

    static LineStore Server(const ServerAddress& address);
    static LineStore Folder(const QString& programDir);
    ~LineStore();
    LineStore(LineStore&&) noexcept;
    LineStore(const LineStore&) = delete;
    LineStore& operator=(const LineStore&) = delete;

    // For messages: the server's address or the file.
    QString describe() const;

    // Each returns nothing, with `error` saying why, when the store cannot be read.
    std::optional<SearchResult> search(const Filter& filter, int limit, QString* error);
    // Newest run first; empty when the serial is unknown.
    std::optional<QList<UnitRun>> unit(const QString& serial, QString* error);
    std::optional<Yield> yield(const Filter& filter, QString* error);
    std::optional<Drift> drift(const QString& model, int spot, QDate from, QDate to, QString* error);
    // The ratings and benches that have runs, for the filters' choices.
    std::optional<QStringList> distinct(const char* column, QString* error);

private:
    LineStore() = default;
    bool open(QString* error);
    void close();
    // Runs `read` on a query of an open connection, once more on a fresh one when it fails.
    bool withQuery(const std::function<bool(QSqlQuery&)>& read, QString* error);
    bool exec(QSqlQuery& q, const QString& sql, const QVariantList& values);
    // A condition on the run table for every part of the filter that is set.
    QString where(const Filter& filter, QVariantList* values) const;
    QString dayOf(const QString& column) const;
    QString dayParam() const;

    bool server_ = false;
    ServerAddress address_;
    QString file_;
    QSqlDatabase db_;
    QString spotTable_; // the records with the run they belong to
};

} // namespace psucal::line
