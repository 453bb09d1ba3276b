#include "app/BatchRunner.h"

#include "app/BatchHost.h"
#include "app/Session.h"

#include <QEventLoop>
#include <QSocketNotifier>

#include <unistd.h>

namespace psucal {

namespace {
const QString CapStart = QStringLiteral("START  >");
const QString CapNext = QStringLiteral("NEXT  >");
const QString CapClose = QStringLiteral("CLOSE");

// Waits for a line on the input while the event loop keeps running (Ctrl-C still ends the
// program through the close sequence). False on end of input.
bool WaitForEnter(int fd)
{
    QEventLoop loop;
    QSocketNotifier notifier(fd, QSocketNotifier::Read);
    bool gotLine = false;
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
        char c;
        const ssize_t n = ::read(fd, &c, 1);
        if (n <= 0) {
            loop.quit();
        } else if (c == '\n') {
            gotLine = true;
            loop.quit();
        }
    });
    loop.exec();
    return gotLine;
}

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
    Wizard& wizard = session.wizard;
    BenchUi& ui = session.ui;

    session.load();
    host.flushPage();
    std::printf("Status: %s | %s   Serial: %s\n", ui.status(1).toLocal8Bit().constData(),
                ui.status(2).toLocal8Bit().constData(), session.st.SerialNo.toLocal8Bit().constData());
    std::fflush(stdout);

    if (!wizard.supplyAnswered() || ui.caption() != CapStart) {
        session.supply.SendCommand(QStringLiteral("ENDS"), QString(), 3, 0.2);
        return 2;
    }

    wizard.Command1_Click();
    host.flushPage();
    PrintUnconverged("Voltage", wizard.voltageUnconverged());

    if (!yes) {
        std::fprintf(stderr, "Short the output terminals, then press Enter (Ctrl-C ends the run) ... ");
        std::fflush(stderr);
        if (!WaitForEnter(inputFd)) {
            std::fprintf(stderr, "\nNo answer at the prompt; the current step was not run (use --yes to run without "
                                 "a prompt).\n");
            session.supply.SendCommand(QStringLiteral("ENDS"), QString(), 3, 0.2);
            return 1;
        }
    }

    if (ui.caption() == CapNext)
        wizard.Command1_Click();
    host.flushPage();
    PrintUnconverged("Current", wizard.currentUnconverged());
    if (!session.st.FailText.isEmpty())
        std::printf("%s\n", session.st.FailText.toLocal8Bit().constData());

    const int status = (wizard.voltageStepOk() && wizard.currentStepOk()) ? 0 : 1;
    std::printf("Result: %s\n", status == 0 ? "recalibrated" : "NOT recalibrated (see above)");
    std::fflush(stdout);
    if (ui.caption() == CapClose) {
        host.setExitStatus(status);
        wizard.Command1_Click(); // "ENDS" and the end of the program
    }
    session.supply.SendCommand(QStringLiteral("ENDS"), QString(), 3, 0.2);
    return status;
}

} // namespace psucal
