#pragma once

#include "db/ReportTable.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

namespace psucal {

class ServerStore;

// Record sets the server could not take, kept in an SQLite file in the program folder until they
// are sent. A set leaves the file only after the server confirmed it.
class Outbox {
public:
    static constexpr const char* FileName = "Outbox.dt";

    struct Flush {
        int sent = 0;       // stored now, or found stored by an earlier attempt
        int superseded = 0; // the server already had a set of that unit made later
        int left = 0;       // still waiting
        QString error;      // why some are left
    };

    explicit Outbox(const QString& programDir);
    ~Outbox();
    Outbox(const Outbox&) = delete;
    Outbox& operator=(const Outbox&) = delete;

    const QString& path() const { return path_; }

    bool add(const RecordSet& set, QString* error);
    // Waiting sets, oldest made first. A missing file holds none and is not created.
    QList<RecordSet> pending(QString* error);
    bool remove(const QString& setId, QString* error);

    // Sends the waiting sets in the order they were made and stops at the first the server
    // does not confirm.
    Flush sendTo(ServerStore& server);

private:
    bool open(bool create, QString* error);

    QString path_;
    QSqlDatabase db_;
};

} // namespace psucal
