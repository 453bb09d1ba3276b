#include "terminal/RecordsCommand.h"

#include "terminal/CommandLine.h"
#include "wizard/ConfReader.h"
#include "report/RecordsReadout.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

namespace psucal {

ServerAddress ChosenServer(const Options& options, const ConfResult& conf)
{
    QString ignored; // both were checked when they were read
    return ServerAddress::Parse(options.database.isEmpty() ? conf.Database : options.database, &ignored);
}

int RunRecordsCommand(const Options& options)
{
    int argc = 1;
    char name[] = "psucal";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString dir = options.programDir();
    if (!QFileInfo(dir).isDir()) {
        err << "psucal: program folder " << dir << " does not exist\n";
        return 2;
    }
    const ConfResult conf = ConfReader::read(dir);
    if (!conf.warning.isEmpty())
        err << "psucal: " << conf.warning << '\n';
    const ServerAddress server = ChosenServer(options, conf);
    if (options.flushOutbox)
        return FlushOutbox(dir, server, out, err);
    return PrintRecords(dir, server, options.records, options.format, out, err, options.allRuns,
                        options.measurements);
}

} // namespace psucal
