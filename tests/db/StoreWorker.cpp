// One bench of the concurrency tests. Against a server (a postgresql:// address) it stores COUNT
// sets over a few serial numbers that every worker shares and a few of its own; worker w writes
// 3 + w spots, each marked with w and the store's number, so a mixture of two sets shows in any
// serial's records. Against a program folder it stores COUNT units of its own into its
// Calibration.dt, drawing a certificate number before each, and prints the numbers it drew.
#include "db/Database.h"
#include "db/ServerStore.h"
#include "report/BenchRecords.h"
#include "report/ReportData.h"

#include <QCoreApplication>
#include <QDate>

#include <cstdio>

using namespace psucal;

namespace {

int StoreLocally(const QString& dir, int worker, int count)
{
    Database db(dir);
    if (!db.usable()) {
        std::fprintf(stderr, "worker %d: %s\n", worker, qPrintable(db.error()));
        return 1;
    }
    BenchRecords records(db.connection(), dir, ServerAddress());
    SpotGrid voltage, current(true);
    voltage.BuildVoltageSpots(5, 1.0f, 40.0f);
    current.BuildCurrentSpots(5, 1.0f, 5.0f);
    ReportData data(voltage, current);
    for (int i = 0; i < count; ++i) {
        QString error;
        const QString number = records.NextCertificateNumber(QDate::currentDate(), &error);
        data.SerialNo = QStringLiteral("W%1-%2").arg(worker).arg(i);
        const BenchRecords::Placement p = records.Store(data);
        if (number.isEmpty() || !p.stored()) {
            std::fprintf(stderr, "worker %d, store %d: %s%s\n", worker, i, qPrintable(error), qPrintable(p.message));
            return 1;
        }
        std::printf("%s\n", qPrintable(number));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    const int worker = args[2].toInt();
    const int count = args[3].toInt();
    if (!args[1].startsWith(u"postgresql:"))
        return StoreLocally(args[1], worker, count);
    QString error;
    const ServerAddress address = ServerAddress::Parse(args[1], &error);
    ServerStore server(address);
    for (int i = 0; i < count; ++i) {
        const QString serial =
            i % 2 ? QStringLiteral("SHARED%1").arg(i % 3) : QStringLiteral("OWN%1-%2").arg(worker).arg(i % 3);
        QList<ReportTable::Row> rows;
        for (int step = 1; step <= 3 + worker; ++step) {
            ReportTable::Row row;
            row[0] = serial;
            row[5] = QStringLiteral("w%1#%2").arg(worker).arg(i);
            row[ReportTable::StepField] = QString::number(step);
            rows << row;
        }
        if (server.put(RecordSet::Make(serial, rows), &error) == ServerStore::Outcome::Failed) {
            std::fprintf(stderr, "worker %d, store %d: %s\n", worker, i, qPrintable(error));
            return 1;
        }
    }
    return 0;
}
