#include "report/MeasurementRows.h"

#include "report/CertificateData.h"
#include "report/ReportData.h"
#include "spots/SpotFormat.h"

#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <cmath>

namespace psucal {

namespace {

QString Optional(const std::optional<double>& v)
{
    return v ? MeasurementRows::Plain(*v) : QString();
}

QString Readings(const QList<Reading>& readings)
{
    QStringList sent;
    for (const Reading& r : readings)
        sent << QString::fromLatin1(r.sent.trimmed());
    return sent.join(u' ');
}

// The readings' mean before any rounding to the grid (the shunt may be wired either way round,
// and a zero is no reading); what the operator typed when the meter gave none. Twelve significant
// digits keep every digit a meter sends and drop the binary noise of summing and scaling.
std::optional<double> Mean(const SpotResult& s, double scale)
{
    double sum = 0;
    int taken = 0;
    for (const Reading& r : s.readings) {
        if (const double v = std::fabs(r.value) * scale; v > 0) {
            sum += v;
            ++taken;
        }
    }
    return taken > 0 ? std::optional(QString::number(sum / taken, 'g', 12).toDouble()) : s.mean;
}

void Append(QList<MeasurementRow>& rows, const MeasurementRow& head, const QList<SpotResult>& spots, double scale)
{
    for (qsizetype i = 0; i < spots.size(); ++i) {
        const SpotResult& s = spots[i];
        MeasurementRow row = head;
        row.spot = static_cast<int>(i + 1);
        row.setting = MeasurementRows::Plain(s.setting);
        row.display = Optional(s.display);
        row.readings = Readings(s.readings);
        row.mean = Optional(Mean(s, scale));
        row.rangeV = s.rangeV > 0 ? MeasurementRows::Plain(s.rangeV) : QString();
        for (const bool output : {false, true}) {
            const CheckLimits& l = output ? s.outputLimits : s.displayLimits;
            row.check = output ? QStringLiteral("output") : QStringLiteral("display");
            row.U = Optional(l.U);
            // Limits that were never set (no display to judge against) are no limits.
            const bool limited = l.lower < l.upper;
            row.lower = limited ? MeasurementRows::Plain(l.lower) : QString();
            row.upper = limited ? MeasurementRows::Plain(l.upper) : QString();
            row.tur = limited ? MeasurementRows::Tur(l) : std::nullopt;
            row.result = output ? MeasurementRows::ResultText(s.outputCheck) : spots::DisplayMark(s);
            rows.append(row);
        }
    }
}

QVariant Text(const QString& s)
{
    return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s);
}

// The unit's rows in the order they were built.
constexpr const char* RowOrder = "CASE m.\"Quantity\" WHEN 'V' THEN 0 ELSE 1 END, m.\"State\", m.\"Spot\", m.\"Check\"";

} // namespace

QList<MeasurementRow> MeasurementRows::Build(const CertificateData& certificate, const QString& serial)
{
    QList<MeasurementRow> rows;
    MeasurementRow head;
    head.certNo = certificate.number;
    head.serial = serial;
    for (const bool current : {false, true}) {
        const CertificateResults& results = current ? certificate.current : certificate.voltage;
        head.quantity = current ? QStringLiteral("I") : QStringLiteral("V");
        const double scale = current ? 1.0 / certificate.shuntOhm : 1.0;
        head.state = QStringLiteral("found");
        Append(rows, head, results.found, scale);
        head.state = QStringLiteral("left");
        Append(rows, head, results.left, scale);
    }
    return rows;
}

QList<MeasurementRow> MeasurementRows::Build(const ReportData& data)
{
    return data.certificate ? Build(*data.certificate, data.SerialNo) : QList<MeasurementRow>();
}

QList<MeasurementTable::Row> MeasurementRows::Records(const ReportData& data)
{
    QList<MeasurementTable::Row> out;
    for (const MeasurementRow& r : Build(data))
        out.append({Text(r.certNo), Text(r.serial), r.quantity, r.state, r.spot, r.check, Text(r.setting),
                    Text(r.display), Text(r.readings), Text(r.mean), Text(r.rangeV), Text(r.U), Text(r.lower),
                    Text(r.upper), Text(r.result)});
    return out;
}

std::optional<double> MeasurementRows::Tur(const CheckLimits& limits)
{
    if (!limits.U || !(*limits.U > 0))
        return std::nullopt;
    return (limits.upper - limits.lower) / (2 * *limits.U);
}

QString MeasurementRows::Plain(double value)
{
    if (!std::isfinite(value))
        return QString();
    if (value == 0.0) // and not "-0"
        return QStringLiteral("0");
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

QString MeasurementRows::ResultText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return QStringLiteral("Pass");
    case Verdict::Fail:
        return QStringLiteral("Fail");
    case Verdict::ConditionalPass:
        return QStringLiteral("Pass*");
    case Verdict::ConditionalFail:
        return QStringLiteral("Fail*");
    case Verdict::NotMeasured:
        break;
    }
    return QString();
}

bool MeasurementRows::EnsureTable(QSqlDatabase& db, QString* error)
{
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS measurement (%1)").arg(MeasurementTable::ColumnList())) &&
        q.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS measurement_SN ON measurement (SN)")) &&
        q.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS measurement_CertNo ON measurement (CertNo)")))
        return true;
    *error = q.lastError().text();
    return false;
}

bool MeasurementRows::Replace(QSqlDatabase& db, const QList<MeasurementTable::Row>& rows, QString* error)
{
    QStringList certificates;
    for (const MeasurementTable::Row& row : rows)
        if (const QString c = row[MeasurementTable::CertField].toString(); !certificates.contains(c))
            certificates << c;
    QSqlQuery q(db);
    for (const QString& c : certificates) {
        q.prepare(QStringLiteral("DELETE FROM measurement WHERE CertNo IS ?"));
        q.addBindValue(Text(c));
        if (!q.exec()) {
            *error = q.lastError().text();
            return false;
        }
    }
    if (!q.prepare(QStringLiteral("INSERT INTO measurement (%1) VALUES (%2)")
                       .arg(MeasurementTable::NameList(), MeasurementTable::MarkList()))) {
        *error = q.lastError().text();
        return false;
    }
    for (const MeasurementTable::Row& row : rows) {
        for (size_t f = 0; f < row.size(); ++f)
            q.bindValue(static_cast<int>(f), row[f]);
        if (!q.exec()) {
            *error = q.lastError().text();
            return false;
        }
    }
    return true;
}

QList<QSqlRecord> MeasurementRows::Read(QSqlDatabase& db, const QString& serial, QString* error, bool allRuns)
{
    QList<QSqlRecord> out;
    if (!db.isOpen()) {
        *error = QStringLiteral("the results database is not open");
        return out;
    }
    if (!db.tables().contains(QStringLiteral("measurement")))
        return out;
    // Rows are appended, so the certificate stored last holds the highest rowid.
    const QString certificates =
        QStringLiteral("SELECT CertNo, max(rowid) AS last FROM measurement WHERE SN = ? GROUP BY CertNo");
    const QString sql = QStringLiteral("SELECT m.* FROM measurement m JOIN (%1) c ON c.CertNo IS m.CertNo "
                                       "WHERE m.SN = ? %2 ORDER BY c.last DESC, %3")
                            .arg(certificates,
                                 allRuns ? QString() : QStringLiteral("AND c.last = (SELECT max(rowid) FROM measurement "
                                                                      "WHERE SN = ?)"),
                                 QLatin1String(RowOrder));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(sql);
    q.addBindValue(serial);
    q.addBindValue(serial);
    if (!allRuns)
        q.addBindValue(serial);
    if (!q.exec()) {
        *error = q.lastError().text();
        return out;
    }
    while (q.next())
        out.append(q.record());
    return out;
}

} // namespace psucal
