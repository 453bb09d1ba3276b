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
      meter(st, ui, clock, meterPort),
      calibrator(st, ui, supply, options.dir.isEmpty() ? QDir::currentPath() : options.dir),
      wizard(st, ui, supply, meterPort, FGridV, FGridC), verifier(st, ui, supply, meter, FGridV, FGridC),
      fullWizard(st, ui, wizard, FGridV, FGridC)
{
    dir_ = QDir(options.dir.isEmpty() ? QDir::currentPath() : options.dir).absolutePath();
    supplyPortName_ = options.supplyPort.isEmpty() ? QStringLiteral("COM1") : options.supplyPort;
    meterPortName_ = options.meterPort.isEmpty() ? QStringLiteral("COM2") : options.meterPort;
    traceFile_ = options.traceFile;
    simulate_ = options.simulate;
    simModel_ = options.simModel;
    st.RunMode = options.runMode;
    st.SpotCount = options.spots;
    st.StartDate = QDate::currentDate();
    calibrator.backup().setSkipped(options.noBackup);
    wizard.setProcedures(
        Wizard::Procedures{[this] { calibrator.CalibrateVoltage(); }, [this] { calibrator.CalibrateCurrent(); }});
    verifier.setIdentify([this](int selector) { wizard.IdentifySupply(selector); });
    fullWizard.setProcedures(FullWizard::Procedures{{},
                                                    [this] { calibrator.CalibrateVoltage(); },
                                                    [this] { calibrator.CalibrateCurrent(); },
                                                    [this] { verifier.VerifyVoltage(); },
                                                    [this] { verifier.VerifyCurrent(); }});
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
    eepVisible_ = conf.EEPVisible;

    if (!traceFile_.isEmpty()) {
        trace_ = std::make_unique<Trace>(traceFile_, clock);
        if (!trace_->isOpen()) {
            *error = QStringLiteral("cannot write the trace file %1: %2").arg(traceFile_, trace_->error());
            return false;
        }
        supply.setTrace(trace_.get());
        meter.setTrace(trace_.get());
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
    if (st.RunMode == 3)
        wizard.FormLoad(supplyPortName_, meterPortName_);
    else
        fullWizard.FormLoad(supplyPortName_, meterPortName_, eepVisible_);
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
