#include "app/BatchRunner.h"

#include "app/BatchHost.h"
#include "app/FullBatch.h"
#include "app/Prompt.h"
#include "app/Session.h"

namespace psucal {

namespace {
void PrintUnconverged(const char* step, const QStringList& points)
{
    if (points.isEmpty())
        return;
    std::printf("%s: %lld point(s) outside the acceptance window: %s\n", step, static_cast<long long>(points.size()),
                points.join(QStringLiteral(" ")).toLocal8Bit().constData());
}
} // namespace

int RunBatch(Session& session, BatchHost& host, bool yes, int inputFd)
{
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
        session.supply.SendCommand(QStringLiteral("ENDS"), QString(), 3, 0.2);
        return 2;
    }

    wizard.Command1_Click();
    host.flushPage();
    PrintUnconverged("Voltage", wizard.voltageUnconverged());

    if (!AskToShortTerminals(yes, inputFd)) {
        session.supply.SendCommand(QStringLiteral("ENDS"), QString(), 3, 0.2);
        return 1;
    }

    if (wizard.state() == Wizard::State::Next)
        wizard.Command1_Click();
    host.flushPage();
    PrintUnconverged("Current", wizard.currentUnconverged());
    if (!session.st.FailText.isEmpty())
        std::printf("%s\n", session.st.FailText.toLocal8Bit().constData());

    const int status = (wizard.voltageStepOk() && wizard.currentStepOk()) ? 0 : 1;
    std::printf("Result: %s\n", status == 0 ? "recalibrated" : "NOT recalibrated (see above)");
    std::fflush(stdout);
    if (wizard.state() == Wizard::State::Close) {
        host.setExitStatus(status);
        wizard.Command1_Click(); // "ENDS" and the end of the program
    }
    session.supply.SendCommand(QStringLiteral("ENDS"), QString(), 3, 0.2);
    return status;
}

} // namespace psucal
