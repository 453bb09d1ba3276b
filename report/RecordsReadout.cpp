#include "report/RecordsReadout.h"

#include "db/Connection.h"
#include "db/Database.h"
#include "report/BenchRecords.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QVariant>

namespace psucal {

namespace {

// A spreadsheet would run a field starting like a formula: such a text gets a leading "'", while
// numbers (signed ones, and a meter's readings separated by blanks) stay as they are.
QString Defused(const QString& s)
{
    static const QString starts = QStringLiteral("=+-@\t\r");
    if (s.isEmpty() || !starts.contains(s.front()))
        return s;
    const QStringList parts = s.split(u' ');
    const bool numbers = s.front() != u'\t' && s.front() != u'\r' && std::ranges::all_of(parts, [](const QString& p) {
        bool ok = false;
        p.toDouble(&ok);
        return ok;
    });
    return numbers ? s : u'\'' + s;
}

QString CsvField(const QString& value)
{
    static const QString special = QStringLiteral(",\"\r\n");
    const QString s = Defused(value);
    if (std::none_of(s.begin(), s.end(), [](QChar c) { return special.contains(c); }))
        return s;
    return u'"' + QString(s).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

// The read-back only reads: Calibration.dt is opened read-only and never created.
class LocalReader {
public:
    explicit LocalReader(const QString& programDir)
        : path_(QDir(programDir).absoluteFilePath(QString::fromLatin1(Database::FileName)))
    {
        if (QFileInfo::exists(path_))
            db_ = connection::OpenSqlite(path_, true);
    }
    ~LocalReader() { connection::Drop(db_); }
    QSqlDatabase db_;
    QString path_;
};

} // namespace

QString FormatRecords(const QList<QSqlRecord>& records, const QString& format)
{
    if (records.isEmpty())
        return QString();
    const QSqlRecord& first = records.first();
    QList<QStringList> lines{{}};
    for (int f = 0; f < first.count(); ++f)
        lines[0] << first.fieldName(f);
    for (const QSqlRecord& r : records) {
        lines << QStringList();
        for (int f = 0; f < first.count(); ++f)
            lines.last() << (r.isNull(f) ? QString() : r.value(f).toString());
    }
    QString text;
    if (format == QLatin1String("csv")) {
        for (QStringList& line : lines) {
            std::transform(line.begin(), line.end(), line.begin(), CsvField);
            text += line.join(u',') + u'\n';
        }
        return text;
    }
    QList<qsizetype> widths(first.count(), 0);
    for (const QStringList& line : lines)
        for (int f = 0; f < line.size(); ++f)
            widths[f] = std::max(widths[f], line[f].size());
    for (const QStringList& line : lines) {
        QString row;
        for (int f = 0; f < line.size(); ++f)
            row += line[f].leftJustified(widths[f] + 2);
        text += row.trimmed() + u'\n';
    }
    return text;
}

int PrintRecords(const QString& programDir, const ServerAddress& server, const QString& serial, const QString& format,
                 QTextStream& out, QTextStream& err, bool allRuns, bool measurements)
{
    if (format != QLatin1String("table") && format != QLatin1String("csv")) {
        err << "The records can be printed as table or csv, not '" << format << "'.\n";
        return 2;
    }
    LocalReader local(programDir);
    if (server.isEmpty() && !local.db_.isValid()) {
        err << "No records of " << serial << ": " << local.path_ << " does not exist.\n";
        return 1;
    }
    BenchRecords store(local.db_, programDir, server);
    QString error;
    const QList<QSqlRecord> records =
        measurements ? store.Measurements(serial, &error, allRuns) : store.Records(serial, &error, allRuns);
    if (!error.isEmpty()) {
        err << "The records of " << serial << " cannot be read: " << error << ".\n";
        QString ignored;
        if (const qsizetype waiting = store.outbox().pending(&ignored).size(); waiting > 0)
            err << waiting << " set(s) of records wait in " << store.outbox().path() << ".\n";
        return 2;
    }
    if (records.isEmpty()) {
        err << (measurements ? "No certificate measurements of " : "No records of ") << serial << " in "
            << store.describe() << ".\n";
        return 1;
    }
    out << FormatRecords(records, format);
    return 0;
}

int FlushOutbox(const QString& programDir, const ServerAddress& server, QTextStream& out, QTextStream& err)
{
    BenchRecords store(QSqlDatabase(), programDir, server);
    QString error;
    const qsizetype waiting = store.outbox().pending(&error).size();
    if (waiting == 0 && error.isEmpty()) {
        out << "Nothing waits in " << store.outbox().path() << ".\n";
        return 0;
    }
    if (server.isEmpty()) {
        err << waiting << " set(s) of records wait in " << store.outbox().path()
            << ", but no server is chosen (--database or the Database key of Calibration.conf).\n";
        return 1;
    }
    QString message;
    const Outbox::Flush f = store.FlushOutbox(&message);
    (f.left > 0 || !f.error.isEmpty() ? err : out) << message << '\n';
    return f.left > 0 || !f.error.isEmpty() ? 1 : 0;
}

} // namespace psucal
