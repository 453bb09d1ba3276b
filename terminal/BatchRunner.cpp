#include "terminal/BatchRunner.h"

#include "core/StatusText.h"

#include "terminal/BatchHost.h"
#include "terminal/FullBatch.h"
#include "terminal/Prompt.h"
#include "terminal/Session.h"
#include "wizard/PortList.h"
#include "eeprom/EepromEditor.h"
#include "eeprom/Restore.h"

namespace psucal {

namespace {
void PrintUnconverged(const char* step, const QStringList& points)
{
    if (points.isEmpty())
        return;
    std::printf("%s: %lld point(s) outside the acceptance window: %s\n", step, static_cast<long long>(points.size()),
                points.join(QStringLiteral(" ")).toLocal8Bit().constData());
}

// --restore: start-up (identification, serial number), then the backup written back and compared.
int RunRestore(Session& session, BatchHost& host)
{
    // The wizard's pages invite to START, which is not what this run does.
    host.attach(nullptr);
    session.load();
    std::printf("Supply: %s   Serial: %s\n", session.st.RatingText.toLocal8Bit().constData(),
                session.st.SerialNo.toLocal8Bit().constData());
    std::fflush(stdout);
    if (!session.wizard.supplyAnswered()) {
        const QString missing = session.supplyPort.missingDevice();
        if (!missing.isEmpty())
            std::printf("%s\n", Wizard::MissingAdvice(missing, PortList::presentDevices()).toLocal8Bit().constData());
        else
            std::printf("Check RS-232 Connection: the supply on %s does not answer.\n",
                        session.supplyPortName().toLocal8Bit().constData());
        session.supply.SendEnds();
        return 2;
    }
    if (!session.openDatabase()) {
        session.supply.SendEnds();
        return 1;
    }
    Restore restore(*session.editor());
    const Restore::Outcome out = restore.run(session.options().restoreFile, session.options().force);
    std::printf("%s\n", out.summary.toLocal8Bit().constData());
    std::fflush(stdout);
    session.supply.SendEnds();
    return out.exitStatus();
}

int RunSteps(Session& session, BatchHost& host, bool yes, int inputFd)
{
    if (!session.options().restoreFile.isEmpty())
        return RunRestore(session, host);
    if (session.st.RunMode != 3)
        return RunFullBatch(session, host, yes, inputFd);
    Wizard& wizard = session.wizard;
    BenchUi& ui = session.ui;

    session.load();
    host.flushPage();
    std::printf("Status: %s | %s   Serial: %s\n", ui.status(1).toLocal8Bit().constData(),
                ui.status(2).toLocal8Bit().constData(), session.st.SerialNo.toLocal8Bit().constData());
    std::fflush(stdout);

    if (!wizard.supplyAnswered() || wizard.state() != Wizard::State::Start) {
        session.supply.SendEnds();
        return 2;
    }

    wizard.Command1_Click();
    host.flushPage();
    PrintUnconverged("Voltage", wizard.voltageUnconverged());

    if (!AskToShortTerminals(yes, inputFd, ui)) {
        session.supply.SendEnds();
        return 1;
    }

    if (wizard.state() == Wizard::State::Next)
        wizard.Command1_Click();
    host.flushPage();
    PrintUnconverged("Current", wizard.currentUnconverged());
    if (!session.st.FailText.isEmpty())
        std::printf("%s\n", session.st.FailText.toLocal8Bit().constData());

    const int status = (wizard.voltageStepOk() && wizard.currentStepOk()) ? 0 : 1;
    const int repeats = session.st.Repeats;
    std::printf("Result: %s%s\n", status == 0 ? "recalibrated" : "NOT recalibrated (see above)",
                repeats > 0 ? qPrintable(QStringLiteral(" (%1)").arg(RepeatsText(repeats))) : "");
    std::fflush(stdout);
    if (wizard.state() == Wizard::State::Close) {
        host.setExitStatus(status);
        wizard.Command1_Click(); // "ENDS" and the end of the program
    }
    session.supply.SendEnds();
    return status;
}
} // namespace

int RunBatch(Session& session, BatchHost& host, bool yes, int inputFd)
{
    int status = 0;
    session.ui.guard([&] { status = RunSteps(session, host, yes, inputFd); });
    return session.ui.ending() ? host.finish(session.ui.endStatus()) : status;
}

} // namespace psucal
