// One bench of the concurrency test: stores COUNT sets over a few serial numbers that every
// worker shares and a few of its own. Worker w writes 3 + w spots, each marked with w and the
// store's number, so a mixture of two sets shows in any serial's records.
#include "db/ServerStore.h"

#include <QCoreApplication>

#include <cstdio>

using namespace psucal;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    QString error;
    const ServerAddress address = ServerAddress::Parse(args[1], &error);
    const int worker = args[2].toInt();
    const int count = args[3].toInt();
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
