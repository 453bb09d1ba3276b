#include "app/Session.h"

#include "app/CommandLine.h"
#include "app/ConfReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <csignal>
#include <sys/prctl.h>

namespace psucal {

namespace {
SerialTransport::Settings SupplySettings()
{
    return SerialTransport::Settings{9600, QSerialPort::OneStop, 2048};
}
SerialTransport::Settings MeterSettings()
{
    return SerialTransport::Settings{9600, QSerialPort::TwoStop, 1024};
}
} // namespace

Session::Session(const Options& options, BenchUiHost& host)
    : ui(host), supplyPort(SupplySettings()), meterPort(MeterSettings()), supply(st, ui, clock, supplyPort),
      calibrator(st, ui, supply, options.dir.isEmpty() ? QDir::currentPath() : options.dir),
      wizard(st, ui, supply, meterPort)
{
    dir_ = QDir(options.dir.isEmpty() ? QDir::currentPath() : options.dir).absolutePath();
    supplyPortName_ = options.supplyPort.isEmpty() ? QStringLiteral("COM1") : options.supplyPort;
    meterPortName_ = options.meterPort.isEmpty() ? QStringLiteral("COM2") : options.meterPort;
    traceFile_ = options.traceFile;
    simulate_ = options.simulate;
    simModel_ = options.simModel;
    st.RunMode = 3;
    st.StartDate = QDate::currentDate();
    calibrator.backup().setSkipped(options.noBackup);
    wizard.setProcedures(
        Wizard::Procedures{[this] { calibrator.CalibrateVoltage(); }, [this] { calibrator.CalibrateCurrent(); }});
}

Session::~Session()
{
    release();
}

bool Session::prepare(QString* error)
{
    if (!QFileInfo(dir_).isDir()) {
        *error = QStringLiteral("program folder %1 does not exist").arg(dir_);
        return false;
    }
    const ConfResult conf = ConfReader::read(dir_);
    conf.apply(st);
    confWarning_ = conf.warning;

    if (!traceFile_.isEmpty()) {
        trace_ = std::make_unique<Trace>(traceFile_, clock);
        if (!trace_->isOpen()) {
            *error = QStringLiteral("cannot write the trace file %1: %2").arg(traceFile_, trace_->error());
            return false;
        }
        supply.setTrace(trace_.get());
    }
    if (simulate_ && !startSimulator(simModel_, error))
        return false;
    return true;
}

bool Session::startSimulator(int model, QString* error)
{
    const QString exe = QCoreApplication::applicationDirPath() + QStringLiteral("/psucal-sim");
    if (!QFileInfo(exe).isExecutable()) {
        *error = QStringLiteral("the simulator %1 is missing").arg(exe);
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
    QByteArray out;
    while (!out.contains('\n')) {
        if (!sim_->waitForReadyRead(5000)) {
            *error = QStringLiteral("the simulator did not report its port");
            return false;
        }
        out += sim_->readAllStandardOutput();
    }
    for (const QByteArray& line : out.split('\n')) {
        if (line.startsWith("supply "))
            supplyPortName_ = QString::fromLocal8Bit(line.mid(7).trimmed());
    }
    return true;
}

void Session::load()
{
    wizard.FormLoad(supplyPortName_, meterPortName_);
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
