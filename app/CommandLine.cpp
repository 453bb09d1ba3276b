#include "app/CommandLine.h"

#include <optional>

namespace psucal {

namespace {

bool isSimModel(const QString& s)
{
    return s == u"20" || s == u"40" || s == u"60";
}

class Parser {
public:
    explicit Parser(const QStringList& args) : args_(args) {}

    Options run()
    {
        while (i_ < args_.size() && opt_.error.isEmpty())
            one(args_[i_++]);
        return opt_;
    }

private:
    void one(const QString& arg)
    {
        QString name = arg;
        std::optional<QString> inlineValue;
        if (arg.startsWith(u"--")) {
            const qsizetype eq = arg.indexOf(u'=');
            if (eq > 0) {
                name = arg.first(eq);
                inlineValue = arg.sliced(eq + 1);
            }
        }

        const auto noValue = [&](bool& flag) {
            if (inlineValue)
                fail(QStringLiteral("%1 takes no value").arg(name));
            else
                flag = true;
        };

        if (name == u"--help" || name == u"-h")
            noValue(opt_.help);
        else if (name == u"--version")
            noValue(opt_.version);
        else if (name == u"--batch")
            noValue(opt_.batch);
        else if (name == u"--yes")
            noValue(opt_.yes);
        else if (name == u"--no-backup")
            noValue(opt_.noBackup);
        else if (name == u"--supply-port")
            value(name, inlineValue, QStringLiteral("a device"), opt_.supplyPort);
        else if (name == u"--meter-port")
            value(name, inlineValue, QStringLiteral("a device"), opt_.meterPort);
        else if (name == u"--trace")
            value(name, inlineValue, QStringLiteral("a file name"), opt_.traceFile);
        else if (name == u"--dir")
            value(name, inlineValue, QStringLiteral("a folder"), opt_.dir);
        else if (name == u"--run-mode")
            runMode(name, inlineValue);
        else if (name == u"--simulate")
            simulate(inlineValue);
        else if (arg.startsWith(u'-') && arg.size() > 1)
            fail(QStringLiteral("unknown option '%1'").arg(arg));
        else
            fail(QStringLiteral("unexpected argument '%1'").arg(arg));
    }

    // The value of an option: after "=", or the next argument unless that is another option.
    bool value(const QString& name, const std::optional<QString>& inlineValue, const QString& what, QString& out)
    {
        QString v;
        if (inlineValue)
            v = *inlineValue;
        else if (i_ < args_.size() && !args_[i_].startsWith(u"--"))
            v = args_[i_++];
        if (v.isEmpty()) {
            fail(QStringLiteral("%1 needs %2").arg(name, what));
            return false;
        }
        out = v;
        return true;
    }

    void runMode(const QString& name, const std::optional<QString>& inlineValue)
    {
        QString v;
        if (!value(name, inlineValue, QStringLiteral("a number"), v))
            return;
        bool ok = false;
        const int n = v.toInt(&ok);
        if (!ok || n < 0 || n > 3)
            fail(QStringLiteral("invalid run mode '%1' (run modes are 0 to 3)").arg(v));
        else if (n != 3)
            fail(QStringLiteral("run mode %1 is not available in this version").arg(n));
        else
            opt_.runMode = n;
    }

    // The model is optional, so only 20, 40 or 60 following --simulate is taken as its value.
    void simulate(const std::optional<QString>& inlineValue)
    {
        QString v;
        if (inlineValue)
            v = *inlineValue;
        else if (i_ < args_.size() && isSimModel(args_[i_]))
            v = args_[i_++];
        else
            v = QStringLiteral("40");
        if (!isSimModel(v)) {
            fail(QStringLiteral("--simulate takes 20, 40 or 60, not '%1'").arg(v));
            return;
        }
        opt_.simulate = true;
        opt_.simModel = v.toInt();
    }

    void fail(const QString& message) { opt_.error = message; }

    const QStringList& args_;
    qsizetype i_ = 0;
    Options opt_;
};

} // namespace

Options parseCommandLine(const QStringList& arguments)
{
    return Parser(arguments).run();
}

Options parseCommandLine(int argc, const char* const* argv)
{
    QStringList args;
    for (int k = 1; k < argc; ++k)
        args << QString::fromLocal8Bit(argv[k]);
    return parseCommandLine(args);
}

QString versionText()
{
    return QStringLiteral("psucal " PSUCAL_VERSION);
}

QString helpText()
{
    return QStringLiteral(
        "Usage: psucal [options]\n"
        "\n"
        "Recalibrates a programmable power supply (20V/10A, 40V/5A or 60V/3.3A) over RS-232.\n"
        "Without options the calibration wizard opens in a window.\n"
        "\n"
        "Options:\n"
        "  --supply-port DEV   Serial port of the power supply (default COM1). COM1..COM4 stand for\n"
        "                      /dev/ttyS0../dev/ttyS3; any other value is a device path, e.g. /dev/ttyUSB0.\n"
        "  --meter-port DEV    Serial port of the HP 34401A multimeter (default COM2).\n"
        "  --simulate [MODEL]  Run against the built-in simulated bench instead of real instruments.\n"
        "                      MODEL is the supply's rated voltage: 20, 40 (default) or 60.\n"
        "  --batch             Run the wizard in the terminal without a window; progress goes to stderr\n"
        "                      and each prompt waits for Enter.\n"
        "  --yes               With --batch: answer every prompt at once.\n"
        "  --trace FILE        Log every frame sent and received, with a timestamp, to FILE.\n"
        "  --dir DIR           Program folder to use instead of the working directory.\n"
        "  --run-mode N        Run mode; only 3, the recalibration wizard, is available in this version.\n"
        "  --no-backup         Write to the supply without saving its EEPROM under backups/ first.\n"
        "  -h, --help          Show this help and exit.\n"
        "  --version           Show the version and exit.\n"
        "\n"
        "Options that take a value also accept the form --option=VALUE.\n"
        "\n"
        "Files (in the program folder: the working directory, or DIR given with --dir):\n"
        "  Calibration.conf    Acceptance limits, read at start-up and never written. Lines such as\n"
        "                        RigorUpLimit 8\n"
        "                        RigorDnLimit 2\n"
        "                      (in hundredths of a volt and thousandths of an ampere). Missing: defaults.\n"
        "  backups/            Copies of each supply's EEPROM as found, saved before anything is written.\n"
        "\n"
        "Exit status (--batch):\n"
        "  0  every step succeeded\n"
        "  1  a step failed or left points outside the acceptance window, the supply's rating is\n"
        "     unknown, or the prompt got no answer\n"
        "  2  no connection to the supply\n");
}

} // namespace psucal
