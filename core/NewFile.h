#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>

// Files the program writes for people to keep (backups, reports): named after the unit and the
// moment, and never written over.
namespace psucal::files {

// "<serial>_<yyyyMMdd-HHmmss>", the serial made fit for a file name: letters, digits, "-" and
// "_" stay, anything else becomes "_", and an empty serial reads "unknown".
QString Stem(const QString& serial, const QDateTime& when);

// Creates and opens for writing `folder`/`stem``extension`, or `stem`-2, -3 ... when that name is
// taken; the folder is made when missing. False with the reason in `error` when no new file
// could be made.
bool CreateNew(QFile& file, const QString& folder, const QString& stem, const QString& extension, QString* error);

// Puts `bytes` under the name CreateNew would pick, whole or not at all: they go to a hidden
// temporary file in `folder`, reach the disk, and only then take the name. A file under that name
// is never half written, whatever stops the program. The path, or empty with the reason in `error`.
QString WriteNew(const QString& folder, const QString& stem, const QString& extension, const QByteArray& bytes,
                 QString* error);

} // namespace psucal::files
