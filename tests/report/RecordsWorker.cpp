// One bench of the shared Calibration.dt test: stores COUNT reports through the program's own
// store, its own units' and one that every worker replaces. Exits 1 on the first store refused.
#include "db/Database.h"
#include "report/ReportRows.h"
#include "tests/report/ReportFixture.h"

#include <QCoreApplication>

#include <cstdio>

using namespace psucal;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    const int worker = args[2].toInt();
    const int count = args[3].toInt();
    Database db(args[1]);
    if (!db.usable()) {
        std::fprintf(stderr, "worker %d: %s\n", worker, qPrintable(db.error()));
        return 1;
    }
    QSqlDatabase connection = db.connection();
    for (int i = 0; i < count; ++i) {
        // Worker w's reports have 3 + w spots, so a mixture of two shows in the shared unit.
        test::Report r(3 + worker, i % 2 ? QStringLiteral("SHARED") : QStringLiteral("W%1-%2").arg(worker).arg(i));
        r.data.TestedBy = QStringLiteral("w%1").arg(worker);
        QString error;
        if (!ReportRows::SaveReport(connection, r.data, &error)) {
            std::fprintf(stderr, "worker %d, report %d: %s\n", worker, i, qPrintable(error));
            return 1;
        }
    }
    return 0;
}
