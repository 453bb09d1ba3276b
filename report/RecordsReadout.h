#pragma once

#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QTextStream>

namespace psucal {

class ServerAddress;

// The command-line faces of the records: read-back for the quality manager and sending what the
// outbox holds. `server` empty means Calibration.dt in `programDir`.

// Prints the unit's records as an aligned table ("table") or as CSV ("csv"): its latest run, or
// with `allRuns` every run a server keeps. Exit status: 0 printed, 1 the unit has no records, 2 the
// store could not be read or the format is unknown. With `measurements`, the unit's certificate
// measurement rows instead: its latest certificate's, or with `allRuns` every one's.
int PrintRecords(const QString& programDir, const ServerAddress& server, const QString& serial, const QString& format,
                 QTextStream& out, QTextStream& err, bool allRuns = false, bool measurements = false);

// Sends the outbox to the server. Exit status: 0 nothing is left waiting, 1 something is.
int FlushOutbox(const QString& programDir, const ServerAddress& server, QTextStream& out, QTextStream& err);

// The records as text: "table" pads every column to its widest value, "csv" quotes a value
// holding a comma, quote or line end and puts "'" before a text a spreadsheet would take for a
// formula. NULL is empty in both. A header line comes first.
QString FormatRecords(const QList<QSqlRecord>& records, const QString& format);

} // namespace psucal
