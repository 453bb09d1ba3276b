#include "terminal/CommandLine.h"
#include "tests/support/QtPrinters.h"

#include <QDir>

#include <gtest/gtest.h>

using psucal::Options;
using psucal::parseCommandLine;

namespace {

TEST(CommandLine, ValuesComeSeparateOrAfterEquals)
{
    const Options o = parseCommandLine({"--supply-port", "/dev/ttyUSB0", "--meter-port=COM2", "--trace", "t.log",
                                        "--dir=/tmp/bench", "--run-mode", "3", "--batch", "--yes"});
    EXPECT_TRUE(o.error.isEmpty()) << o.error.toStdString();
    EXPECT_EQ(o.supplyPort, "/dev/ttyUSB0");
    EXPECT_EQ(o.meterPort, "COM2");
    EXPECT_EQ(o.traceFile, "t.log");
    EXPECT_EQ(o.dir, "/tmp/bench");
    EXPECT_TRUE(o.batch && o.yes);

    // argv form: the program name is not an argument.
    const char* argv[] = {"psucal", "--version", "--dir", "x", "-h"};
    const Options v = parseCommandLine(5, argv);
    EXPECT_TRUE(v.version && v.help && v.error.isEmpty());
    EXPECT_EQ(v.dir, "x");
}

TEST(CommandLine, SimulateTakesOnlyAModelAsItsOptionalValue)
{
    const auto model = [](const QStringList& args) {
        const Options o = parseCommandLine(args);
        EXPECT_TRUE(o.simulate) << args.join(' ').toStdString();
        EXPECT_TRUE(o.error.isEmpty()) << o.error.toStdString();
        return o.simModel;
    };
    EXPECT_EQ(model({"--simulate"}), 40);
    EXPECT_EQ(model({"--simulate", "60"}), 60);
    EXPECT_EQ(model({"--simulate=20"}), 20);
    EXPECT_EQ(model({"--simulate", "--batch"}), 40);

    // A following word that is not a model is left alone, and here it is a stray argument.
    const Options stray = parseCommandLine({"--simulate", "50"});
    EXPECT_EQ(stray.error, "unexpected argument '50'");
    EXPECT_FALSE(parseCommandLine({"--simulate=50"}).error.isEmpty());
    EXPECT_FALSE(parseCommandLine({"--simulate="}).error.isEmpty());
}

TEST(CommandLine, RunModeAndSpotCountTakeOnlyTheirValues)
{
    const Options d = parseCommandLine({});
    EXPECT_EQ(d.runMode, 3);
    EXPECT_EQ(d.spots, 20);
    const Options o = parseCommandLine({"--run-mode=1", "--spots", "80"});
    EXPECT_TRUE(o.error.isEmpty()) << o.error.toStdString();
    EXPECT_EQ(o.runMode, 1);
    EXPECT_EQ(o.spots, 80);
    for (const char* bad : {"4", "-1", "x", "3.0"})
        EXPECT_EQ(parseCommandLine({"--run-mode", bad}).error,
                  QString("invalid run mode '%1' (run modes are 0 to 3)").arg(bad));
    for (const char* bad : {"0", "15", "100", "twenty"})
        EXPECT_FALSE(parseCommandLine({"--spots", bad}).error.isEmpty()) << bad;
}

TEST(CommandLine, BadArgumentsAreNamedInTheError)
{
    const auto error = [](const QStringList& args) { return parseCommandLine(args).error; };
    EXPECT_EQ(error({"--frobnicate"}), "unknown option '--frobnicate'");
    EXPECT_EQ(error({"-x"}), "unknown option '-x'");
    EXPECT_EQ(error({"stray"}), "unexpected argument 'stray'");
    EXPECT_EQ(error({"--trace"}), "--trace needs a file name");
    EXPECT_EQ(error({"--supply-port", "--batch"}), "--supply-port needs a device");
    EXPECT_EQ(error({"--dir="}), "--dir needs a folder");
    EXPECT_EQ(error({"--batch=yes"}), "--batch takes no value");
    // Only "--" marks an option; a lone "-" is a value.
    EXPECT_EQ(parseCommandLine({"--trace", "-"}).traceFile, "-");
}

TEST(CommandLine, DefineRestoreAndReportGoOnlyWhereTheyMakeSense)
{
    const Options d = parseCommandLine({"--run-mode", "0", "--batch", "--define", "--serial", "SN1", "--model", "60"});
    EXPECT_TRUE(d.error.isEmpty()) << d.error.toStdString();
    EXPECT_TRUE(d.define && d.serial == "SN1" && d.model == 2);
    const Options r = parseCommandLine({"--restore", "b.txt", "--force"});
    EXPECT_TRUE(r.error.isEmpty() && r.terminal() && r.force && r.restoreFile == "b.txt");
    const Options p = parseCommandLine({"--run-mode=1", "--batch", "--print", "--client-model", "PSU", "--ambient=21"});
    EXPECT_TRUE(p.error.isEmpty() && p.report && p.print);
    EXPECT_EQ(p.header, (std::array<QString, 4>{"PSU", QString(), "21", QString()}));

    const auto error = [](const QStringList& args) { return parseCommandLine(args).error; };
    EXPECT_EQ(error({"--batch", "--define", "--serial", "S"}), "--define needs --run-mode 0");
    EXPECT_EQ(error({"--run-mode", "0", "--define", "--serial", "S"}),
              "--define needs --batch (the window offers Define as its first step)");
    EXPECT_EQ(error({"--run-mode", "0", "--batch", "--define"}), "--define needs --serial");
    EXPECT_EQ(error({"--serial", "S"}), "--serial and --model go with --define");
    EXPECT_EQ(error({"--run-mode", "0", "--batch", "--define", "--serial", "S", "--model", "30"}),
              "--model takes 20, 40 or 60, not '30'");
    EXPECT_EQ(error({"--restore", "b.txt", "--run-mode", "1", "--tested-by", "QA"}),
              "--restore stands alone; leave out --run-mode, --tested-by");
    EXPECT_EQ(error({"--force"}), "--force goes with --restore");
    EXPECT_EQ(error({"--batch", "--report", "--client-model", "PSU"}), "--report needs --run-mode 0, 1 or 2");
    EXPECT_EQ(error({"--run-mode", "2", "--print", "--client-model", "PSU"}),
              "--print needs --batch (the window has its Print button)");
    EXPECT_EQ(error({"--run-mode", "2", "--batch", "--report"}), "");
    EXPECT_EQ(error({"--equipment", "DMM"}), "--equipment: the report boxes are in run modes 0, 1 and 2 only");
    EXPECT_EQ(error({"--humidity", "45"}), "--humidity: the report boxes are in run modes 0, 1 and 2 only");
    EXPECT_EQ(error({"--run-mode", "1", "--humidity", "101"}),
              "--humidity takes a relative humidity from 0 to 100 percent, not '101'");
}

TEST(CommandLine, RecordsCommandsStandAloneAndTheServerAddressIsCheckedAtOnce)
{
    const Options r = parseCommandLine({"--records", "SN1", "--format=csv", "--database", "postgresql://qa@db/calib"});
    EXPECT_TRUE(r.error.isEmpty() && r.recordsCommand() && r.records == "SN1" && r.format == "csv")
        << qPrintable(r.error);
    EXPECT_TRUE(parseCommandLine({"--flush-outbox", "--home"}).recordsCommand());
    EXPECT_EQ(parseCommandLine({"--home"}).programDir(), QDir::home().filePath("psucal"));

    const auto error = [](const QStringList& args) { return parseCommandLine(args).error; };
    EXPECT_EQ(error({"--records", "SN1", "--batch", "--spots", "5"}),
              "--records stands alone; leave out --batch, --spots");
    EXPECT_EQ(error({"--flush-outbox", "--records", "SN1"}), "--records and --flush-outbox are two commands; give one");
    EXPECT_EQ(error({"--records", "SN1", "--format", "xml"}), "--format takes table or csv, not 'xml'");
    EXPECT_EQ(error({"--format", "csv"}), "--format goes with --records");
    EXPECT_EQ(error({"--flush-outbox", "--measurements"}), "--measurements goes with --records");
    EXPECT_TRUE(error({"--database", "db.line"}).startsWith("--database: 'db.line' is not a server address"));
    EXPECT_EQ(error({"--home", "--dir", "x"}), "--home and --dir both choose the program folder; give one");
}

} // namespace

namespace {

TEST(CommandLine, AStationTakesUpToEightPortsOrSimulatedUnitsInRunModeThreeOnly)
{
    const Options s = parseCommandLine({"--batch", "--station", "--supply-port", "/dev/ttyUSB0", "--supply-port",
                                        "ttyUSB1", "--events", "ev.jsonl"});
    EXPECT_TRUE(s.error.isEmpty()) << s.error.toStdString();
    EXPECT_EQ(s.supplyPorts, (QStringList{"/dev/ttyUSB0", "ttyUSB1"}));
    EXPECT_EQ(parseCommandLine({"--simulate", "40", "--station", "--units", "3"}).simModels, (QList<int>{40, 40, 40}));
    EXPECT_EQ(parseCommandLine({"--simulate", "20,60", "--station"}).simModels, (QList<int>{20, 60}));

    const auto error = [](const QStringList& args) { return parseCommandLine(args).error; };
    EXPECT_EQ(error({"--station", "--run-mode", "1", "--supply-port", "COM1"}),
              "A station recalibrates (run mode 3); verify units one at a time.");
    EXPECT_EQ(error({"--supply-port", "COM1", "--supply-port", "COM2"}),
              "--supply-port is given 2 times; several units at once need --station");
    EXPECT_EQ(error({"--station", "--supply-port", "COM1", "--supply-port", "/dev/ttyS0"}),
              "--supply-port COM1 and /dev/ttyS0 are the same port");
    EXPECT_EQ(error({"--simulate", "20,40", "--batch"}), "--simulate takes one rating; a list of ratings goes with --station");
    EXPECT_EQ(error({"--simulate", "20,40", "--station", "--units", "3"}), "--units 3 and --simulate with 2 ratings disagree");
    EXPECT_EQ(error({"--simulate", "--station", "--units", "9"}), "--units takes 1 to 8, not '9'");
    EXPECT_EQ(error({"--station", "--batch"}), "--station --batch needs a --supply-port for each unit");
    EXPECT_EQ(error({"--station", "--batch", "--supply-port", "COM1", "--events", "-"}),
              "--station writes one events file per unit; give --events a file name, not -");
    EXPECT_EQ(error({"--events", "e.jsonl"}), "--events goes with --batch, --restore or --station");
}

} // namespace
