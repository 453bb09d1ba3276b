#include "terminal/Session.h"

#include "terminal/CommandLine.h"
#include "wizard/ConfReader.h"
#include "terminal/RecordsCommand.h"
#include "report/BenchRecords.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <csignal>
#include <sys/prctl.h>

namespace psucal {

namespace {
SerialTransport::Settings SupplySettings()
{
    return SerialTransport::Settings{9600, 1};
}
SerialTransport::Settings MeterSettings()
{
    return SerialTransport::Settings{9600, 2};
}
} // namespace

SerialBench::SerialBench() : supplyPort(SupplySettings()), meterPort(MeterSettings()) {}

Session::Session(const Options& options, BenchUiHost& host)
    : Workbench(host, clock, supplyPort, meterPort, options.programDir()), options_(options)
{
    supplyPortName_ = options.supplyPort.isEmpty() ? QStringLiteral("COM1") : options.supplyPort;
    meterPortName_ = options.meterPort.isEmpty() ? QStringLiteral("COM2") : options.meterPort;
    st.RunMode = options.runMode;
    st.SpotCount = options.spots;
    st.StartDate = QDate::currentDate();
    calibrator.backup().setSkipped(options.noBackup);
}

Session::~Session()
{
    release();
    if (sender_)
        sender_->wait();
}

bool Session::prepare(QString* error)
{
    if (options_.home && !QDir().mkpath(programDir())) {
        *error = QStringLiteral("cannot create the program folder %1").arg(programDir());
        return false;
    }
    if (!QFileInfo(programDir()).isDir()) {
        *error = QStringLiteral("program folder %1 does not exist").arg(programDir());
        return false;
    }
    const ConfResult conf = ConfReader::read(programDir());
    conf.apply(st);
    st.AsFound = st.AsFound || options_.asFound;
    st.AllowOverdue = options_.allowOverdue;
    if (!options_.humidity.isNull())
        st.Humidity = options_.humidity;
    st.Certificate = options_.certificate;
    confWarning_ = conf.warning;
    eepVisible_ = conf.EEPVisible;
    setServer(ChosenServer(options_, conf));

    if (!options_.traceFile.isEmpty()) {
        trace_ = std::make_unique<Trace>(options_.traceFile, clock);
        if (!trace_->isOpen()) {
            *error = QStringLiteral("cannot write the trace file %1: %2").arg(options_.traceFile, trace_->error());
            return false;
        }
        supply.setTrace(trace_.get());
        meter.setTrace(trace_.get());
    }
    if (options_.simulate && !startSimulator(options_.simModel, error))
        return false;
    return true;
}

bool Session::startSimulator(int model, QString* error)
{
    // Beside psucal in a build tree or /usr/bin; elsewhere wherever the path finds it.
    QString exe = QCoreApplication::applicationDirPath() + QStringLiteral("/psucal-sim");
    if (!QFileInfo(exe).isExecutable())
        exe = QStandardPaths::findExecutable(QStringLiteral("psucal-sim"));
    if (exe.isEmpty()) {
        *error = QStringLiteral("the simulator psucal-sim is neither beside %1 nor on the path")
                     .arg(QCoreApplication::applicationFilePath());
        return false;
    }
    sim_ = std::make_unique<QProcess>();
    sim_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The simulator goes when psucal goes, however psucal ends.
    sim_->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    sim_->start(exe, {QStringLiteral("--model"), QString::number(model)});
    if (!sim_->waitForStarted(5000)) {
        *error = QStringLiteral("the simulator did not start: %1").arg(sim_->errorString());
        return false;
    }
    return readSimulatorPorts(error);
}

// "supply <path>" comes first; in run modes 0-2 the meter's "meter <path>" is awaited as well.
bool Session::readSimulatorPorts(QString* error)
{
    const bool wantMeter = st.RunMode != 3;
    bool haveSupply = false;
    bool haveMeter = false;
    QByteArray out;
    while (!haveSupply || (wantMeter && !haveMeter)) {
        if (!sim_->waitForReadyRead(5000)) {
            *error = haveSupply ? QStringLiteral("the simulator did not report a meter port")
                                : QStringLiteral("the simulator did not report its port");
            return false;
        }
        out += sim_->readAllStandardOutput();
        qsizetype end;
        while ((end = out.indexOf('\n')) >= 0) {
            const QByteArray line = out.left(end).trimmed();
            out.remove(0, end + 1);
            if (line.startsWith("supply ")) {
                supplyPortName_ = QString::fromLocal8Bit(line.mid(7).trimmed());
                haveSupply = true;
            } else if (line.startsWith("meter ")) {
                meterPortName_ = QString::fromLocal8Bit(line.mid(6).trimmed());
                haveMeter = true;
            }
        }
    }
    return true;
}

void Session::load()
{
    FormLoad(supplyPortName_, meterPortName_, eepVisible_);
    if (st.RunMode == 3)
        return;
    for (int i = 0; i < 4; ++i)
        if (!options_.header[i].isNull())
            fullWizard.TxtH_Change(i, options_.header[i]);
    // Nobody is there to type a client model: the report names the unit as the model box does.
    const FullWindowUi& f = ui.full();
    if (options_.report && f.header[0].trimmed().isEmpty() && ui.model() >= 0 && ui.model() < f.modelEntries.size())
        fullWizard.TxtH_Change(0, f.modelEntries[ui.model()]);
}

QString Session::sendOutbox() const
{
    if (server().isEmpty())
        return QString();
    BenchRecords store(QSqlDatabase(), programDir(), server());
    QString message;
    store.FlushOutbox(&message);
    return message;
}

void Session::sendOutboxInBackground(QObject* context, std::function<void(const QString&)> done)
{
    if (server().isEmpty() || sender_)
        return;
    auto message = std::make_shared<QString>();
    sender_.reset(QThread::create([this, message] { *message = sendOutbox(); }));
    QObject::connect(sender_.get(), &QThread::finished, context, [message, done] {
        if (!message->isEmpty())
            done(*message);
    });
    sender_->start();
}

void Session::release()
{
    supplyPort.close();
    meterPort.close();
    if (trace_)
        trace_->flush();
    if (sim_ && sim_->state() != QProcess::NotRunning) {
        sim_->terminate();
        sim_->waitForFinished(2000);
    }
}

} // namespace psucal
