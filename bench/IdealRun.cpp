#include "bench/IdealRun.h"

#include "wizard/Workbench.h"
#include "bench/Support.h"
#include "core/WizardCaption.h"
#include "core/VirtualClock.h"
#include "sim/InProcessBench.h"

#include <QDate>

namespace psucal::bench {

namespace {
// The supply's port with every exchange noted as it passes.
class RecordingPort : public Transport {
public:
    RecordingPort(Transport& port, Clock& clock, QList<IdealRun::Exchange>& log) : port_(port), clock_(clock), log_(log)
    {
        port_.setActivityCallback([this] { notifyActivity(); });
    }
    void setPortName(const QString& name) override { port_.setPortName(name); }
    QString portName() const override { return port_.portName(); }
    bool open() override { return port_.open(); }
    void close() override { port_.close(); }
    bool isOpen() const override { return port_.isOpen(); }
    bool gone() const override { return port_.gone(); }
    void discard() override { port_.discard(); }
    bool write(const QByteArray& bytes) override
    {
        log_.append({bytes, count_, clock_.now()});
        return port_.write(bytes);
    }
    qint64 bytesAvailable() const override { return port_.bytesAvailable(); }
    QByteArray readAll() override
    {
        QByteArray reply = port_.readAll();
        if (!log_.isEmpty() && log_.back().doneAt < 0) {
            log_.back().doneAt = clock_.now();
            log_.back().replied = reply.size();
        }
        return reply;
    }
    void expect(qint64 count) override
    {
        count_ = count;
        port_.expect(count);
    }

private:
    Transport& port_;
    Clock& clock_;
    QList<IdealRun::Exchange>& log_;
    qint64 count_ = 0;
};
} // namespace

QString IdealRun::DefaultSerial(int model, quint32 seed)
{
    return QStringLiteral("SIM%1%2").arg(model, 2, 10, QChar(u'0')).arg(seed, 4, 10, QChar(u'0'));
}

void IdealRun::run(const QString& programDir)
{
    VirtualClock clock;
    QuietHost host;
    sim::SupplyConfig config;
    config.ratingV = model;
    config.seed = seed;
    config.ideal = idealUnit;
    config.serial = serial.isEmpty() ? DefaultSerial(model, seed) : serial;
    // Run mode 3 opens COM2 for the meter at start-up and never talks to it.
    sim::InProcessBench bench(clock, config);
    exchanges.clear();
    RecordingPort supplyPort(bench.supplyPort, clock, exchanges);
    Workbench w(host, clock, supplyPort, bench.meterPort, programDir);
    w.st.RunMode = runMode;
    w.st.StartDate = QDate::currentDate();

    // The same steps as "psucal --batch --yes" in the run mode asked for.
    w.FormLoad(QStringLiteral("sim"), QStringLiteral("meter"), false);
    startupSeconds = clock.now();
    if (runMode == 3) {
        if (w.wizard.supplyAnswered() && w.ui.caption() == caption::Start) {
            w.wizard.Command1_Click();
            if (w.ui.caption() == caption::Next)
                w.wizard.Command1_Click();
        }
    } else if (w.wizard.supplyAnswered()) {
        w.fullWizard.Command1_Click(1);
        if (w.ui.full().step[1] == 2)
            w.fullWizard.Command1_Click(1);
    }
    w.supply.SendEnds();
    totalSeconds = clock.now();
    frames = bench.supply.frames();
    voltageOk = runMode == 3 ? w.wizard.voltageStepOk() : w.st.VoltPass;
    currentOk = runMode == 3 ? w.wizard.currentStepOk() : w.st.CurrPass;
    allPass = w.st.AllPass;
}

} // namespace psucal::bench
