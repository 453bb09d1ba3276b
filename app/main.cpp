#include "core/EpollDispatcher.h"
#include "terminal/BatchHost.h"
#include "terminal/BatchRunner.h"
#include "terminal/CommandLine.h"
#include "widgets/EditorPanel.h"
#include "widgets/FrmMain.h"
#include "wizard/PortList.h"
#include "terminal/Prompt.h"
#include "terminal/RecordsCommand.h"
#include "terminal/Session.h"
#include "terminal/Signals.h"
#include "station/StationMain.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QMessageBox>
#include <QStatusBar>

#include <cstdio>
#include <memory>
#include <unistd.h>

using namespace psucal;

namespace {

bool HaveDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

int RunInTerminal(const Options& options, int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // No window here: a loop that only watches descriptors and deadlines keeps a long run's
    // thousands of waits cheap. The application takes it over.
    QCoreApplication::setEventDispatcher(new EpollDispatcher);
    QGuiApplication app(argc, argv);
    BatchHost host(stdout, stderr);
    QString error;
    if (!options.eventsFile.isEmpty()) {
        // Events on stdout: the text the run prints goes to stderr instead.
        const int eventsFd = options.eventsFile == u"-" ? ::dup(STDOUT_FILENO) : -1;
        if (eventsFd >= 0)
            ::dup2(STDERR_FILENO, STDOUT_FILENO);
        if (!host.events().open(options.eventsFile, eventsFd, &error)) {
            std::fprintf(stderr, "psucal: %s\n", error.toLocal8Bit().constData());
            return 2;
        }
    }
    Session session(options, host);
    host.attach(&session.ui);
    if (!session.prepare(&error)) {
        std::fprintf(stderr, "psucal: %s\n", error.toLocal8Bit().constData());
        TellOutcome(session, host, 2, error);
        return 2;
    }
    if (!session.confWarning().isEmpty())
        std::fprintf(stderr, "psucal: %s\n", session.confWarning().toLocal8Bit().constData());
    if (const QString sent = session.sendOutbox(); !sent.isEmpty())
        std::fprintf(stderr, "psucal: %s\n", sent.toLocal8Bit().constData());
    RouteSignals(&app, [&] {
        session.ui.guard([&] {
            host.setExitStatus(130);
            session.wizard.FormUnload();
        });
    });
    return RunBatch(session, host, options.yes, STDIN_FILENO);
}

int RunWindow(const Options& options, int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("psucal"));
    FrmMain window;
    Session session(options, window);
    QString error;
    if (!session.prepare(&error)) {
        QMessageBox::critical(nullptr, QStringLiteral("psucal"), error);
        return 2;
    }
    QStringList given;
    if (!options.supplyPort.isEmpty())
        given << options.supplyPort;
    if (!options.meterPort.isEmpty())
        given << options.meterPort;
    if (!session.supplyPortName().isEmpty())
        given << session.supplyPortName();
    if (!session.meterPortName().isEmpty())
        given << session.meterPortName();
    const QStringList ports = PortList::build(PortList::presentDevices(), given, PortList::byIdNames());
    const bool full = session.st.RunMode != 3;
    if (full)
        window.attachFull(&session.st, &session.ui, &session.fullWizard, &session.supply, &session.FGridV,
                          &session.FGridC, ports, session.supplyPortName(), session.meterPortName());
    else
        window.attach(&session.ui, &session.wizard, ports, session.supplyPortName());
    QObject::connect(&window, &FrmMain::ended, &app, [](int status) { QCoreApplication::exit(status); });
    RouteSignals(&app, [&] { session.ui.guard([&] { session.wizard.FormUnload(); }); });
    window.show();
    if (!session.confWarning().isEmpty())
        window.messageBox(session.confWarning());
    // Closed during start-up: the end has come before the event loop runs.
    session.ui.guard([&] { session.load(); });
    if (session.ui.ending())
        return session.ui.endStatus();
    // The editor lives on the database that start-up has just opened.
    if (full && session.editor() && session.ui.full().eepVisible)
        window.setEditorPanel(new EditorPanel(*session.editor(), session.connection(),
                                              QDir(session.programDir()).filePath(QStringLiteral("backups"))));
    window.uiChanged();
    // A server that does not answer costs its connect time-out: the window goes on meanwhile.
    session.sendOutboxInBackground(&window,
                                   [&window](const QString& sent) { window.statusBar()->showMessage(sent, 60000); });
    const int status = app.exec();
    if (session.sendingOutbox()) {
        // A records server that does not answer holds the sender until its connect time-out,
        // and the window has closed already. What it has not sent stays in the outbox.
        session.release();
        std::fflush(stdout);
        std::fflush(stderr);
        ::_exit(status);
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    KeepStandardStreamsOpen();
    const Options options = parseCommandLine(argc, argv);
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "psucal: %s\n(see psucal --help)\n", options.error.toLocal8Bit().constData());
        return 2;
    }
    if (options.help) {
        std::fputs(helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (options.version) {
        std::puts(versionText().toLocal8Bit().constData());
        return 0;
    }
    if (options.recordsCommand())
        return RunRecordsCommand(options);
    if (options.station)
        return options.batch || !HaveDisplay() ? RunStationTerminal(options, argc, argv)
                                               : RunStationWindow(options, argc, argv);
    if (options.terminal())
        return RunInTerminal(options, argc, argv);
    if (!HaveDisplay()) {
        std::fprintf(stderr, "psucal: no display; running in the terminal (as with --batch)\n");
        return RunInTerminal(options, argc, argv);
    }
    return RunWindow(options, argc, argv);
}
