#include "terminal/CommandLine.h"

#include "core/Rating.h"
#include "db/ServerAddress.h"
#include "terminal/StationOptions.h"
#include "spots/SpotGrid.h"

#include <QCommandLineParser>
#include <QDir>

namespace psucal {

namespace {

// A MODEL names a rating by its whole volts, written as the table writes them.
bool IsModel(const QString& s)
{
    return RatingVolts().contains(s);
}

// "20,40,60,40": the ratings of a station's simulated units.
bool IsModelList(const QString& s)
{
    return std::ranges::all_of(s.split(u','), IsModel);
}

QString Models()
{
    return ListedAs(RatingVolts());
}

// Options with a value, and what the value is, for the error when it is missing (nullptr: a
// rating's volts).
struct Valued {
    const char* name;
    const char* what;
    QString needs() const { return what ? QString::fromLatin1(what) : Models(); }
};
constexpr Valued ValuedOptions[] = {
    {"supply-port", "a device"}, {"meter-port", "a port"}, {"trace", "a file name"},
    {"dir", "a folder"},         {"run-mode", "a number"},   {"spots", "a number"},
    {"serial", "a text"},        {"model", nullptr},         {"restore", "a file name"},
    {"client-model", "a text"},  {"equipment", "a text"},    {"ambient", "a number"},
    {"tested-by", "a name"},     {"database", "an address"}, {"records", "a serial number"},
    {"format", "table or csv"},  {"humidity", "a number"},  {"events", "a file name or -"},
    {"units", "a number"}};
constexpr const char* Flags[] = {"batch", "yes",  "no-backup",    "define", "force",  "report",
                                 "print", "home", "flush-outbox", "all-runs", "as-found", "help", "version",
                                 "certificate", "allow-overdue", "measurements", "station"};
// What --records and --flush-outbox may be given with.
constexpr const char* RecordsCompanions[] = {"records", "flush-outbox", "format", "all-runs", "measurements", "database",
                                             "dir",     "home",         "help",   "version"};
// The report boxes TxtH(0..3) in their order.
constexpr const char* HeaderOptions[] = {"client-model", "equipment", "ambient", "tested-by"};

QList<QCommandLineOption> OptionList()
{
    QStringList simulated = RatingVolts();
    for (QString& v : simulated)
        if (v == QString::number(DefaultSimulatedVolts))
            v += QStringLiteral(" (default)");
    QList<QCommandLineOption> list{
        {"supply-port",
         "Serial port of the power supply (default COM1). COM1..COM4 stand for /dev/ttyS0../dev/ttyS3; any other "
         "value is a device path, e.g. /dev/ttyUSB0, or a name under /dev/serial/by-id, which stays the same when "
         "a hub of adapters is plugged in again. Repeated with --station: one port a unit.",
         "DEV"},
        {"meter-port",
         "Port of the multimeter (default COM2): a serial port, tcp://HOST[:PORT] for a raw SCPI socket (port 5025 "
         "by default), or /dev/usbtmcN for a meter on USB.",
         "PORT"},
        {"simulate",
         "Run against the built-in simulated bench instead of real instruments. MODEL is the supply's rated "
         "voltage: " +
             ListedAs(simulated) + "; with --station a list such as 20,40,60,40, one simulated unit each.",
         "MODEL"},
        {"batch", "Run the wizard in the terminal without a window; progress goes to stderr and each prompt waits "
                  "for Enter."},
        {"yes", "With --batch: answer every prompt at once."},
        {"trace", "Log every frame sent and received, with a timestamp, to FILE. With --station each unit has "
                  "its own, the port's short name put before the extension (trace.ttyUSB0.log).",
         "FILE"},
        {"events", "Write the run's events to FILE as JSON lines, one object a line (start, step_start, progress, "
                   "page, message, prompt, repeat, step_end, outcome); - writes them to stdout and the text to "
                   "stderr. With --station each unit has its own file, named as for --trace.",
         "FILE"},
        {"station", "Recalibrate several supplies at once, one unit on each --supply-port (repeat it, up to 8), "
                    "each a run of its own (run mode 3). With --batch one line per unit in the terminal and a "
                    "summary at the end; otherwise a window with a tile per unit."},
        {"units", "With --simulate and --station: the number of simulated units, 1 to 8 (default 1).", "N"},
        {"dir", "Program folder to use instead of the working directory.", "DIR"},
        {"home", "Use ~/psucal as the program folder, created when missing, instead of the working directory; the "
                 "desktop menu starts psucal so."},
        {"run-mode",
         "Run mode: 3 the recalibration wizard (default); 0 calibration and verification with Define, 1 "
         "verification only, 2 calibration and verification.",
         "N"},
        {"spots", "Test spots per verification pass: 5, 10, 20 (default), 40 or 80.", "N"},
        {"no-backup", "Write to the supply without saving its EEPROM under backups/ first."},
        {"define",
         "With --batch and --run-mode 0: Define first (the serial number of --serial and the base data of the "
         "model into a blank or reset board), then the voltage and current steps. Without it Define counts as "
         "done."},
        {"serial", "With --define: the serial number to write, up to 16 printable ASCII characters.", "TEXT"},
        {"model",
         "With --define: the model whose base data is written, by its rated voltage: " + Models() +
             ". Default: the rating the supply reports.",
         "V"},
        {"restore",
         "Put an as-found backup (from backups/) back into the supply, in the terminal: rows 0-7 and 58-159 are "
         "written, then the whole EEPROM is read back and compared with FILE. Refused for a backup of another "
         "serial number (see --force) and for an incomplete or damaged file. Stands alone: not with --run-mode, "
         "--spots, --define, --report or the report boxes.",
         "FILE"},
        {"force", "With --restore: write a backup of another serial number all the same."},
        {"report", "With --batch in run modes 0-2: at the end, store the results (in Calibration.dt, or on the "
                   "server) and file the report as reports/<serial>_<time>.pdf (its path is printed). Without "
                   "--client-model the report names the unit's entry of the model box (e.g. QRB-2200)."},
        {"print", "As --report, and send the report to the default printer too."},
        {"as-found", "In run modes 0 and 2: each step first verifies the unit as it arrived, then calibrates and "
                     "verifies again (the AsFound key of Calibration.conf does the same)."},
        {"certificate", "With --batch in run modes 0-2 (implies --report): file a calibration certificate as "
                        "reports/<serial>_<time>_cert.pdf beside the report."},
        {"allow-overdue", "Run modes 0-2: work the unit although a reference is past its calibration due date "
                          "(MeterCalDue, ShuntCalDue in Calibration.conf); the certificate then says \"reference "
                          "overdue\". Without it such a run is refused before anything is sent to the supply."},
        {"humidity",
         "Box \"Humidity (%RH)\" beside the ambient temperature: relative humidity in whole percent, "
         "0 to 100 (run modes 0-2; overrides the Humidity key of Calibration.conf).",
         "PERCENT"},
        {"database",
         "Store the records on the line's PostgreSQL server at URL, postgresql://user@host:port/dbname, instead of "
         "Calibration.dt (the password comes from ~/.pgpass or PGPASSWORD). Overrides the Database key of "
         "Calibration.conf. Records the server cannot take wait in Outbox.dt and are sent at the next start.",
         "URL"},
        {"records",
         "Print the stored records of the unit with serial number SERIAL, from the server or Calibration.dt, and "
         "exit.",
         "SERIAL"},
        {"format", "With --records: table (default, aligned columns) or csv.", "FORMAT"},
        {"measurements", "With --records: the unit's certificate measurements (one row per spot, check and "
                         "state) instead of its report records."},
        {"all-runs", "With --records: every run the server keeps of the unit, newest first, not only the latest."},
        {"flush-outbox", "Send the records waiting in Outbox.dt to the server, and exit."},
        {"client-model", "Report box \"Client Model\" (run modes 0-2).", "TEXT"},
        {"equipment", "Report box \"Equipment\" (run modes 0-2).", "TEXT"},
        {"ambient", "Report box \"Ambient Temp (Deg C)\", whole degrees (run modes 0-2).", "DEG"},
        {"tested-by", "Report box \"Tested By\" (run modes 0-2).", "NAME"},
        {{"h", "help"}, "Show this help and exit."},
        {"version", "Show the version and exit."},
    };
    return list;
}

// "--simulate" may stand alone or take a model; the parser wants one or the other, so a
// model that follows it is joined to it and a lone one gets the default.
QStringList FoldSimulate(const QStringList& args)
{
    QStringList out;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] != u"--simulate") {
            out << args[i];
        } else if (i + 1 < args.size() && IsModelList(args[i + 1])) {
            out << QStringLiteral("--simulate=") + args[++i];
        } else {
            out << QStringLiteral("--simulate=%1").arg(DefaultSimulatedVolts);
        }
    }
    return out;
}

QString Dashes(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

QString ParseError(const QCommandLineParser& p)
{
    for (const QString& name : p.unknownOptionNames())
        return QStringLiteral("unknown option '%1'").arg(Dashes(name));
    return p.errorText();
}

// A value missing at the end of the line, or given to a switch, in our words rather than the parser's.
QString PreCheck(const QStringList& args)
{
    for (const QString& arg : args) {
        const qsizetype eq = arg.indexOf(u'=');
        const QString name = arg.left(eq);
        if (eq > 2 && arg.startsWith(u"--"))
            for (const char* flag : Flags)
                if (name == QStringLiteral("--") + QLatin1String(flag))
                    return QStringLiteral("%1 takes no value").arg(name);
    }
    if (!args.isEmpty())
        for (const Valued& v : ValuedOptions)
            if (args.last() == QStringLiteral("--") + QLatin1String(v.name))
                return QStringLiteral("%1 needs %2").arg(args.last(), v.needs());
    return QString();
}

// A value that is missing, or that is really the next option, is named with what was expected.
QString CheckValues(const QCommandLineParser& p)
{
    for (const Valued& v : ValuedOptions) {
        const QString name = QLatin1String(v.name);
        if (!p.isSet(name))
            continue;
        const QString value = p.value(name);
        if (value.isEmpty() || value.startsWith(u"--"))
            return QStringLiteral("--%1 needs %2").arg(name, v.needs());
    }
    return QString();
}

// Options that only make sense together, or only in some run modes.
QString Combinations(const QCommandLineParser& p, const Options& o)
{
    if (p.isSet("records") && o.flushOutbox)
        return QStringLiteral("--records and --flush-outbox are two commands; give one");
    if (o.recordsCommand()) {
        QStringList clash;
        for (const QString& name : p.optionNames())
            if (std::ranges::none_of(RecordsCompanions, [&](const char* c) { return name == QLatin1String(c); }) &&
                !clash.contains(Dashes(name)))
                clash << Dashes(name);
        if (!clash.isEmpty())
            return QStringLiteral("%1 stands alone; leave out %2")
                .arg(o.flushOutbox ? QStringLiteral("--flush-outbox") : QStringLiteral("--records"),
                     clash.join(QStringLiteral(", ")));
    }
    if (p.isSet("format") && o.records.isEmpty())
        return QStringLiteral("--format goes with --records");
    if (p.isSet("all-runs") && o.records.isEmpty())
        return QStringLiteral("--all-runs goes with --records");
    if (p.isSet("measurements") && o.records.isEmpty())
        return QStringLiteral("--measurements goes with --records");
    if (o.home && !o.dir.isEmpty())
        return QStringLiteral("--home and --dir both choose the program folder; give one");
    QStringList headers;
    for (const char* name : HeaderOptions)
        if (p.isSet(name))
            headers << QStringLiteral("--") + QLatin1String(name);
    if (p.isSet("humidity"))
        headers << QStringLiteral("--humidity");
    if (!o.restoreFile.isEmpty()) {
        QStringList clash = headers;
        for (const char* name : {"run-mode", "spots", "define", "serial", "model", "report", "print"})
            if (p.isSet(name))
                clash.prepend(QStringLiteral("--") + QLatin1String(name));
        if (!clash.isEmpty())
            return QStringLiteral("--restore stands alone; leave out %1").arg(clash.join(QStringLiteral(", ")));
    } else if (o.force) {
        return QStringLiteral("--force goes with --restore");
    }
    if ((p.isSet("serial") || p.isSet("model")) && !o.define)
        return QStringLiteral("--serial and --model go with --define");
    if (o.define) {
        if (o.runMode != 0)
            return QStringLiteral("--define needs --run-mode 0");
        if (!o.batch)
            return QStringLiteral("--define needs --batch (the window offers Define as its first step)");
        if (!p.isSet("serial"))
            return QStringLiteral("--define needs --serial");
    }
    const QString report = o.print ? QStringLiteral("--print") : QStringLiteral("--report");
    if (o.report && o.runMode == 3)
        return QStringLiteral("%1 needs --run-mode 0, 1 or 2").arg(report);
    if (o.report && !o.batch)
        return QStringLiteral("%1 needs --batch (the window has its Print button)").arg(report);
    if (!headers.isEmpty() && o.runMode == 3)
        return QStringLiteral("%1: the report boxes are in run modes 0, 1 and 2 only").arg(headers.first());
    return QString();
}

QString Interpret(const QCommandLineParser& p, Options& o)
{
    if (const QStringList rest = p.positionalArguments(); !rest.isEmpty())
        return QStringLiteral("unexpected argument '%1'").arg(rest.first());
    if (const QString e = CheckValues(p); !e.isEmpty())
        return e;
    o.help = p.isSet("help");
    o.version = p.isSet("version");
    o.batch = p.isSet("batch");
    o.yes = p.isSet("yes");
    o.noBackup = p.isSet("no-backup");
    o.supplyPorts = p.values("supply-port");
    o.supplyPort = o.supplyPorts.value(0);
    o.station = p.isSet("station");
    o.eventsFile = p.value("events");
    o.meterPort = p.value("meter-port");
    o.traceFile = p.value("trace");
    o.dir = p.value("dir");
    if (p.isSet("simulate")) {
        const QString model = p.value("simulate");
        if (!IsModelList(model))
            return QStringLiteral("--simulate takes %1, not '%2'").arg(Models(), model);
        o.simulate = true;
        for (const QString& m : model.split(u','))
            o.simModels << m.toInt();
        o.simModel = o.simModels.first();
    }
    bool ok = true;
    if (p.isSet("run-mode")) {
        const QString v = p.value("run-mode");
        o.runMode = v.toInt(&ok);
        if (!ok || o.runMode < 0 || o.runMode > 3)
            return QStringLiteral("invalid run mode '%1' (run modes are 0 to 3)").arg(v);
    }
    if (p.isSet("spots")) {
        const QString v = p.value("spots");
        o.spots = v.toInt(&ok);
        if (!ok || !SpotGrid::IsSpotCount(o.spots))
            return QStringLiteral("invalid spot count '%1' (5, 10, 20, 40 or 80)").arg(v);
    }
    if (p.isSet("model")) {
        const QString v = p.value("model");
        if (!IsModel(v))
            return QStringLiteral("--model takes %1, not '%2'").arg(Models(), v);
        o.model = RatingIndex(FindRating(v.toInt()));
    }
    o.define = p.isSet("define");
    o.serial = p.value("serial");
    o.restoreFile = p.value("restore");
    o.force = p.isSet("force");
    o.print = p.isSet("print");
    o.report = o.print || p.isSet("report");
    o.asFound = p.isSet("as-found");
    o.certificate = p.isSet("certificate");
    o.report = o.report || o.certificate;
    o.allowOverdue = p.isSet("allow-overdue");
    o.humidity = p.value("humidity");
    if (const double h = o.humidity.toDouble(&ok); p.isSet("humidity") && (!ok || h < 0 || h > 100))
        return QStringLiteral("--humidity takes a relative humidity from 0 to 100 percent, not '%1'").arg(o.humidity);
    for (int i = 0; i < 4; ++i)
        if (p.isSet(HeaderOptions[i]))
            o.header[i] = p.value(HeaderOptions[i]);
    o.home = p.isSet("home");
    o.database = p.value("database");
    if (QString why; p.isSet("database") && ServerAddress::Parse(o.database, &why).isEmpty())
        return QStringLiteral("--database: %1").arg(why);
    o.records = p.value("records");
    o.flushOutbox = p.isSet("flush-outbox");
    o.allRuns = p.isSet("all-runs");
    o.measurements = p.isSet("measurements");
    if (p.isSet("format")) {
        o.format = p.value("format");
        if (o.format != u"table" && o.format != u"csv")
            return QStringLiteral("--format takes table or csv, not '%1'").arg(o.format);
    }
    if (const QString e = StationCombinations(p, o); !e.isEmpty())
        return e;
    return Combinations(p, o);
}

constexpr int HelpIndent = 22;
constexpr int HelpWidth = 100;

// `head` and then the words of `text`, lines kept within the help's width under the head's indent.
QString Wrapped(const QString& head, const QString& text)
{
    QString out;
    QString line = head;
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (line.size() > HelpIndent && line.size() + 1 + word.size() > HelpWidth) {
            out += line + u'\n';
            line = QString(HelpIndent, u' ');
        }
        line += (line.size() > HelpIndent ? QStringLiteral(" ") : QString()) + word;
    }
    return out + line + u'\n';
}

} // namespace

Options parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    p.addOptions(OptionList());
    Options o;
    o.error = PreCheck(arguments);
    if (!o.error.isEmpty())
        return o;
    // The parser reads from the second entry on, as from argv.
    if (!p.parse(QStringList{QStringLiteral("psucal")} + FoldSimulate(arguments)))
        o.error = ParseError(p);
    else
        o.error = Interpret(p, o);
    return o;
}

Options parseCommandLine(int argc, const char* const* argv)
{
    QStringList args;
    for (int k = 1; k < argc; ++k)
        args << QString::fromLocal8Bit(argv[k]);
    return parseCommandLine(args);
}

QString Options::programDir() const
{
    if (home)
        return QDir::home().absoluteFilePath(QStringLiteral("psucal"));
    return QDir(dir.isEmpty() ? QDir::currentPath() : dir).absolutePath();
}

QString versionText()
{
    return QStringLiteral("psucal " PSUCAL_VERSION);
}

QString helpText()
{
    QString options;
    for (const QCommandLineOption& o : OptionList()) {
        QStringList names;
        for (const QString& n : o.names())
            names << Dashes(n);
        QString head = QStringLiteral("  ") + names.join(QStringLiteral(", "));
        if (o.names().first() == QLatin1String("simulate"))
            head += QStringLiteral(" [%1]").arg(o.valueName());
        else if (!o.valueName().isEmpty())
            head += QStringLiteral(" ") + o.valueName();
        options += Wrapped(head.leftJustified(HelpIndent), o.description());
    }
    return QStringLiteral("Usage: psucal [options]\n"
                          "\n"
                          "Recalibrates a programmable power supply (%1) over RS-232 and,\n"
                          "in run modes 0 to 2, verifies it against an HP 34401A multimeter.\n"
                          "Without options the calibration wizard opens in a window.\n"
                          "\n"
                          "Options:\n")
               .arg(ListedAs(RatingNames())) +
           options +
           QStringLiteral(
               "\n"
               "Options that take a value also accept the form --option=VALUE.\n"
               "\n"
               "Files (in the program folder: the working directory, DIR given with --dir, or ~/psucal\n"
               "with --home, as from the desktop menu):\n"
               "  Calibration.conf    Acceptance limits, read at start-up and never written. Lines such as\n"
               "                        RigorUpLimit 8\n"
               "                        RigorDnLimit 2\n"
               "                      (in hundredths of a volt and thousandths of an ampere). Missing: defaults.\n"
               "  backups/            Copies of each supply's EEPROM as found, saved before anything is written.\n"
               "  Calibration.dt      Run modes 0-2: the EEPROM editor's table and the calibration records.\n"
               "  Outbox.dt           Records the server could not take, until they are sent.\n"
               "  reports/            Run modes 0-2: every printed report, filed as PDF.\n"
               "\n"
               "Exit status (--batch):\n"
               "  0  every step succeeded (run modes 0-2: every spot of both passes passed, PASS)\n"
               "  1  a step failed or left points outside the acceptance window, the supply's rating is\n"
               "     unknown, a verification pass found a spot outside its band (FAIL), or the prompt got\n"
               "     no answer\n"
               "  2  no connection to the supply, or a reference past its calibration due date (see\n"
               "     --allow-overdue)\n"
               "  With --define, a Define that failed is 1. With --report, a report that could not be stored\n"
               "  or filed (or, with --print, printed) is 1; records kept in Outbox.dt for the server are 0.\n"
               "\n"
               "Exit status (--restore):\n"
               "  0  every written row read back equal to the file\n"
               "  1  refused (another serial number, a damaged file), a row not written, or a difference\n"
               "  2  no connection to the supply\n"
               "\n"
               "Exit status (--records):  0 printed, 1 no records of that unit, 2 the store could not be read\n"
               "Exit status (--flush-outbox):  0 nothing is left waiting, 1 something is\n");
}

} // namespace psucal
