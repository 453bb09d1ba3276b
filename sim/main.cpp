#include "core/Rating.h"
#include "sim/MeterModel.h"
#include "sim/PtyHost.h"
#include "sim/SupplyModel.h"
#include "sim/TcpHost.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace psucal;
using namespace psucal::sim;

namespace {

int SignalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(SignalPipe[0], &c, 1);
}

void Say(const QString& line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

bool WriteEeprom(const QString& path, const SupplyModel& model)
{
    if (path.isEmpty())
        return true;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(model.eeprom().text());
    return file.commit();
}

bool ParseConfig(const QCommandLineParser& p, SupplyConfig& config, QString* error)
{
    bool ok = true;
    config.ratingV = p.isSet(u"model"_qs) ? p.value(u"model"_qs).toInt(&ok) : DefaultSimulatedVolts;
    if (!ok || (config.ratingV != 0 && !FindRating(config.ratingV))) {
        *error = u"--model takes "_qs + RatingVolts().join(u", "_qs) + u" or 0"_qs;
        return false;
    }
    config.seed = p.isSet(u"seed"_qs) ? p.value(u"seed"_qs).toUInt(&ok) : 1;
    if (!ok) {
        *error = QStringLiteral("--seed takes a whole number");
        return false;
    }
    config.serial =
        p.isSet(u"serial"_qs)
            ? p.value(u"serial"_qs)
            : QStringLiteral("SIM%1%2").arg(config.ratingV, 2, 10, QChar(u'0')).arg(config.seed, 4, 10, QChar(u'0'));
    const QString terminals = p.value(u"terminals"_qs);
    if (terminals == u"open")
        config.terminals = Terminals::Open;
    else if (terminals == u"short")
        config.terminals = Terminals::Short;
    else if (terminals == u"auto")
        config.terminals = Terminals::Auto;
    else {
        *error = QStringLiteral("--terminals takes open, short or auto");
        return false;
    }
    config.defect = p.isSet(u"defect"_qs);
    config.blank = p.isSet(u"blank"_qs);
    config.ideal = p.isSet(u"ideal"_qs);
    return true;
}

// "START END < BYTES": the supply's traffic with its times on the wire, so that a test can act
// while the unit holds part of a frame. Control characters escaped as in psucal's trace.
void LogLine(std::FILE* log, double start, double end, bool received, const QByteArray& bytes)
{
    QByteArray text;
    for (const char c : bytes) {
        if (c == '\r')
            text += "\\r";
        else if (c == '\n')
            text += "\\n";
        else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == '\\')
            text += QByteArray("\\x") + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
        else
            text += c;
    }
    std::fprintf(log, "%.6f %.6f %c %s\n", start, end, received ? '<' : '>', text.constData());
    std::fflush(log);
}

// Each rule goes to the instrument its word names.
bool AddFaults(const QStringList& rules, SupplyModel& supply, MeterModel& meter)
{
    for (const QString& rule : rules) {
        QString error;
        const std::optional<FaultRule> parsed = FaultRule::Parse(rule, &error);
        const bool ok =
            parsed && (parsed->forMeter() ? meter.addFault(rule, &error) : supply.faults().add(rule, &error));
        if (!ok) {
            std::fprintf(stderr, "psucal-sim: --fault %s: %s\n", qPrintable(rule), qPrintable(error));
            return false;
        }
    }
    return true;
}

// An adapter's latency timer is set in whole milliseconds, 1 to 255.
bool ParsePace(const QString& text, PtyHost::Pace* pace, double* packetEvery)
{
    if (text == u"uart" || text == u"byte") {
        *pace = PtyHost::Pace::Uart;
        return true;
    }
    if (text == u"fast") {
        *pace = PtyHost::Pace::Fast;
        return true;
    }
    bool ok = false;
    const int ms = text.startsWith(u"usb="_qs) ? text.mid(4).toInt(&ok) : 0;
    if (!ok || ms < 1 || ms > 255)
        return false;
    *pace = PtyHost::Pace::Usb;
    *packetEvery = ms / 1000.0;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("psucal-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PSUCAL_VERSION));

    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral(
            "Simulated power supply and HP 34401A meter, each on a pseudo-terminal. Prints \"supply <path>\"\n"
            "and \"meter <path>\" once the ports are ready (and \"meter-tcp <address>\" with --meter-tcp).\n"
            "The meter measures the supply's output, or the\n"
            "voltage over a 1 mOhm shunt while the terminals are shorted.\n\n"
            "Each unit's display reads a little off its true output: an offset and a gain of up to three\n"
            "display steps each, and a drift with load of up to two (the voltage reading sags with the current\n"
            "drawn, the current reading creeps with the square of the current). The meter's readings scatter\n"
            "by a few counts of the configured resolution. --ideal gives a unit whose display reads true and a\n"
            "meter whose noise vanishes in the rounding.\n\n"
            "Faults (--fault, repeatable):\n") +
        FaultPlan::Grammar());
    p.addHelpOption();
    p.addVersionOption();
    p.addOptions({
        {u"model"_qs,
         u"Rating of the unit: %1, or 0 for a unit without a valid rating (default %2)."_qs.arg(
             RatingVolts().join(u", "_qs), QString::number(DefaultSimulatedVolts)),
         u"volts"_qs},
        {u"seed"_qs,
         u"Which unit: its output errors, display error and as-found cells, and the meter's noise (default 1)."_qs,
         u"n"_qs},
        {u"serial"_qs, u"Serial number in the EEPROM (up to 16 characters)."_qs, u"text"_qs},
        {u"terminals"_qs, u"open, short, or auto: shorted from \"SOUT\" 0 on, open from \"SOUT\" 1 on (default)."_qs,
         u"state"_qs, u"auto"_qs},
        {u"defect"_qs, u"Part of the range is off by more than the cells can correct."_qs},
        {u"blank"_qs, u"Fresh board: no base data, no serial number, zero cells."_qs},
        {u"ideal"_qs, u"The display reads the true output and the meter does not scatter."_qs},
        {u"fault"_qs, u"Alter answers, see above (repeatable)."_qs, u"rule"_qs},
        {u"faults"_qs,
         u"Line noise on the supply's display, row, row-write and set-point replies and the meter's readings, "
         "each reply hit with the chance given: noise:p=0.03 (both), supply-noise:p=... or meter-noise:p=... "
         "Repeatable by --seed."_qs,
         u"plan"_qs},
        {u"eeprom-out"_qs,
         u"Write the EEPROM after every change and at exit, one line per row as in psucal's backups."_qs, u"file"_qs},
        {u"link"_qs, u"Keep a symlink to the port at this path."_qs, u"path"_qs},
        {u"meter-link"_qs, u"Keep a symlink to the meter's port at this path."_qs, u"path"_qs},
        {u"meter-tcp"_qs,
         u"Serve the meter on 127.0.0.1:PORT as well, as a raw SCPI socket (0: a free port). Prints "
         "\"meter-tcp tcp://127.0.0.1:PORT\"."_qs,
         u"port"_qs},
        {u"line-log"_qs,
         u"Append the supply line's traffic to this file as it is paced: \"START END < BYTES\" for what the "
         "unit is sent, > for its replies; the first character starts crossing at START and the last has "
         "crossed at END, in seconds of the system's monotonic clock."_qs,
         u"file"_qs},
        {u"pace"_qs,
         u"The line the ports stand for. uart: both directions at the line's rate, each reply character "
         "written as it crosses (default; byte says the same); fast: frames handed over at once and replies "
         "written whole as they are made, as a USB CDC device or a serial server does; usb=MS: as uart, but "
         "what has crossed is released in a packet every MS milliseconds, as a USB serial adapter's "
         "latency timer does."_qs,
         u"line"_qs, u"uart"_qs},
    });
    p.process(app);

    SupplyConfig config;
    QString error;
    if (!ParseConfig(p, config, &error)) {
        std::fprintf(stderr, "psucal-sim: %s\n", qPrintable(error));
        return 2;
    }
    SupplyModel model(config);
    MeterModel meter(model, config.seed, config.ideal);
    QStringList rules = p.values(u"fault"_qs);
    for (const QString& plan : p.values(u"faults"_qs)) {
        const std::optional<QStringList> noise = FaultPlan::NoiseRules(plan, &error);
        if (!noise) {
            std::fprintf(stderr, "psucal-sim: --faults %s: %s\n", qPrintable(plan), qPrintable(error));
            return 2;
        }
        rules += *noise;
    }
    if (!AddFaults(rules, model, meter))
        return 2;

    PtyHost::Pace pace = PtyHost::Pace::Uart;
    double packetEvery = 0.016;
    if (!ParsePace(p.value(u"pace"_qs), &pace, &packetEvery)) {
        std::fprintf(stderr, "psucal-sim: --pace takes uart, fast or usb=MS (MS from 1 to 255)\n");
        return 2;
    }

    const QString eepromOut = p.value(u"eeprom-out"_qs);
    QByteArray written = model.eeprom().text();
    if (!WriteEeprom(eepromOut, model)) {
        std::fprintf(stderr, "psucal-sim: cannot write %s\n", qPrintable(eepromOut));
        return 2;
    }
    PtyHost host([&](const QByteArray& bytes) {
        QList<Answer> answers = model.receive(bytes);
        if (model.eeprom().text() != written) {
            written = model.eeprom().text();
            WriteEeprom(eepromOut, model);
        }
        return answers;
    });
    host.setLinkPath(p.value(u"link"_qs));
    std::FILE* lineLog = nullptr;
    if (p.isSet(u"line-log"_qs)) {
        lineLog = std::fopen(QFile::encodeName(p.value(u"line-log"_qs)).constData(), "a");
        if (!lineLog) {
            std::fprintf(stderr, "psucal-sim: cannot write %s\n", qPrintable(p.value(u"line-log"_qs)));
            return 2;
        }
        host.setLineObserver([lineLog](double start, double end, bool received, const QByteArray& bytes) {
            LogLine(lineLog, start, end, received, bytes);
        });
    }
    host.setPace(pace, packetEvery);
    QObject::connect(&host, &PtyHost::portChanged, [](const QString& path) { Say(u"supply "_qs + path); });

    PtyHost meterHost([&meter](const QByteArray& bytes) { return meter.receive(bytes); }, MeterModel::CharTime);
    meterHost.setLinkPath(p.value(u"meter-link"_qs));
    meterHost.setPace(pace, packetEvery);
    QObject::connect(&meterHost, &PtyHost::portChanged, [](const QString& path) { Say(u"meter "_qs + path); });

    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, SignalPipe) != 0) {
        std::perror("psucal-sim: socketpair");
        return 2;
    }
    QSocketNotifier stop(SignalPipe[1], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);

    TcpHost meterTcp([&meter](const QByteArray& bytes) { return meter.receive(bytes); });
    bool portOk = true;
    const int tcpPort = p.isSet(u"meter-tcp"_qs) ? p.value(u"meter-tcp"_qs).toInt(&portOk) : -1;
    if (!portOk || tcpPort > 65535) {
        std::fprintf(stderr, "psucal-sim: --meter-tcp takes a port number\n");
        return 2;
    }
    if (!host.start(&error) || !meterHost.start(&error) || (tcpPort >= 0 && !meterTcp.start(tcpPort, &error))) {
        std::fprintf(stderr, "psucal-sim: %s\n", qPrintable(error));
        return 2;
    }
    // One write, so a reader that waits for the first line has them all.
    QString ports = u"supply "_qs + host.slavePath() + u"\nmeter "_qs + meterHost.slavePath();
    if (tcpPort >= 0)
        ports += u"\nmeter-tcp tcp://127.0.0.1:"_qs + QString::number(meterTcp.port());
    Say(ports);

    const int status = app.exec();
    WriteEeprom(eepromOut, model);
    if (lineLog)
        std::fclose(lineLog);
    return status;
}
