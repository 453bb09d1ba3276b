#include "terminal/FullBatch.h"

#include "core/StatusText.h"
#include "spots/SpotFormat.h"

#include "terminal/BatchHost.h"
#include "terminal/Prompt.h"
#include "terminal/Session.h"
#include "wizard/References.h"

#include <cstdio>

namespace psucal {

namespace {
constexpr int ValueWidth = 8;

QString Cell(const SpotGrid& grid, int row, int col)
{
    const QString text = grid.text(row, col).isEmpty() ? QStringLiteral("-") : grid.text(row, col);
    const SpotResult* spot = grid.spot(row);
    const QString mark = col == SpotGrid::DisplayColumn ? (spot ? spots::DisplayMark(*spot) : QString())
                                                        : spots::VerdictMark(grid.verdict(row, col));
    return text.rightJustified(ValueWidth) + u' ' + mark.leftJustified(5);
}

void Print(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

// --report: what "Print" does, its outcome on stdout.
bool Report(Session& session)
{
    if (!session.ui.full().printEnabled) {
        Print(QStringLiteral("No report: %1\n")
                  .arg(session.databaseError().isEmpty()
                           ? QStringLiteral("both verification passes must run to their end first.")
                           : session.databaseError()));
        return false;
    }
    session.setPrinting(session.options().print);
    session.fullWizard.CmdPrint_Click();
    const ReportJob::Outcome& out = session.fullWizard.lastReport();
    // Records kept in the outbox are safe: the run still counts, but the operator must know where they are.
    if (!out.storeNote.isEmpty())
        std::fprintf(stderr, "psucal: %s\n", out.storeNote.toLocal8Bit().constData());
    if (!out.pdfPath.isEmpty())
        Print(QStringLiteral("Report: %1\n").arg(out.pdfPath));
    if (!out.certificatePath.isEmpty())
        Print(QStringLiteral("Certificate: %1\n").arg(out.certificatePath));
    return out.succeeded() && out.printerError.isEmpty();
}

int Conclude(Session& session, bool pass)
{
    // A pass that ran to its end without a single reading points at the meter, not the supply.
    if (!session.st.MeterSeen && session.ui.full().step[1] == 2)
        Print(QStringLiteral("No reading came from the meter on %1.\n").arg(session.meterPortName()));
    const int repeats = session.st.Repeats;
    Print((pass ? QStringLiteral("PASS") : QStringLiteral("FAIL")) +
          (repeats > 0 ? QStringLiteral(" (%1)\n").arg(RepeatsText(repeats)) : QStringLiteral("\n")));
    const bool reported = !session.options().report || Report(session);
    session.supply.SendEnds();
    return pass && reported ? 0 : 1;
}

// --define: the serial number and the model into the serial box and CmbModel, then the Define page.
bool RunDefine(Session& session)
{
    const Options& o = session.options();
    FullWizard& wizard = session.fullWizard;
    wizard.TxtH_Change(4, o.serial);
    if (o.model >= 0)
        wizard.CmbModel_Click(o.model);
    Print(QStringLiteral("\nDefine: serial number %1, base data of %2\n")
              .arg(o.serial, session.ui.full().modelEntries.value(session.ui.model(), QStringLiteral("no model"))));
    wizard.Command1_Click(1);
    if (session.ui.full().step[0] != 2)
        return false;
    Print(QStringLiteral("Serial: %1\n").arg(session.st.SerialNo));
    return true;
}
} // namespace

QString SpotGridText(const SpotGrid& grid)
{
    const auto line = [](const QString& step, const QString& setting, const QString& display, const QString& output) {
        QString l = step.rightJustified(4) + u' ' + setting.rightJustified(ValueWidth) + u' ' + display + u' ' + output;
        while (l.endsWith(u' '))
            l.chop(1);
        return l + u'\n';
    };
    QString out = grid.text(0, SpotGrid::SettingColumn) + u'\n';
    out += line(QStringLiteral("Step"), QStringLiteral("Setting"),
                QStringLiteral("Display").rightJustified(ValueWidth) + QString(6, u' '),
                QStringLiteral("Output").rightJustified(ValueWidth));
    for (int row = SpotGrid::FirstSpotRow; row < grid.rowCount(); ++row)
        out += line(grid.text(row, SpotGrid::StepColumn), grid.text(row, SpotGrid::SettingColumn),
                    Cell(grid, row, SpotGrid::DisplayColumn), Cell(grid, row, SpotGrid::OutputColumn));
    out += QStringLiteral("Display: high/low/ok against its window, for information; Output: pass/FAIL decides.\n");
    return out;
}

int RunFullBatch(Session& session, BatchHost& host, bool yes, int inputFd)
{
    FullWizard& wizard = session.fullWizard;
    BenchUi& ui = session.ui;
    const bool verifyOnly = session.st.RunMode == 1;
    wizard.setAsFoundShown([&session](bool current) {
        Print(QStringLiteral("As found:\n") + SpotGridText(current ? session.FGridC : session.FGridV));
    });
    const auto asLeft = [&wizard](bool current) {
        return wizard.asFound(current).isEmpty() ? QString() : QStringLiteral("As left:\n");
    };

    // Nobody can look at an overdue reference and decide: the run ends before the supply is opened.
    if (const QStringList overdue = OverdueReferences(session.st, QDate::currentDate());
        !overdue.isEmpty() && !session.st.AllowOverdue) {
        std::fprintf(stderr, "psucal: %s\n", OverdueRefusal(overdue).toLocal8Bit().constData());
        return 2;
    }
    session.load();
    host.flushPage();
    Print(QStringLiteral("%1\nStatus: %2   Serial: %3\n")
              .arg(ui.full().windowCaption, ui.status(2), session.st.SerialNo));
    EventStream& events = host.events();
    events.start(session.supplyPortName(), session.st.SerialNo, ui.rating() ? QString(ui.rating()->name) : QString(),
                 session.wizard.supplyAnswered());
    // A verification that ran but did not pass says so when the step names nothing else.
    const auto stepEnd = [&](const QString& step, bool ok) {
        events.stepEnd(step, ok, ok || !session.st.FailText.isEmpty() ? session.st.FailText : QStringLiteral("FAIL"));
    };
    if (!session.wizard.supplyAnswered()) {
        session.supply.SendEnds();
        return 2;
    }

    // Without --define the terminal starts at the voltage step.
    if (session.options().define) {
        events.stepStart(QStringLiteral("define"));
        const bool defined = RunDefine(session);
        events.stepEnd(QStringLiteral("define"), defined, session.st.FailText);
        if (!defined)
            return Conclude(session, false);
    } else if (ui.full().step[0] != 2) {
        wizard.CekPro_Click(0, 2);
    }
    Print(verifyOnly ? QStringLiteral("\nVoltage step: verification (output terminals open)\n")
                     : QStringLiteral("\nVoltage step: calibration and verification (output terminals open)\n"));
    events.stepStart(QStringLiteral("voltage"));
    wizard.Command1_Click(1);
    Print(asLeft(false) + SpotGridText(session.FGridV));
    stepEnd(QStringLiteral("voltage"), ui.full().step[1] == 2);
    if (ui.full().step[1] != 2)
        return Conclude(session, false);

    if (!yes)
        events.prompt(QStringLiteral("Short the output terminals, then press Enter"));
    if (!AskToShortTerminals(yes, inputFd, session.ui)) {
        events.noteFailure(QStringLiteral("no answer at the prompt; the current step was not run"));
        return Conclude(session, false);
    }

    Print(verifyOnly ? QStringLiteral("\nCurrent step: verification (output terminals shorted)\n")
                     : QStringLiteral("\nCurrent step: calibration and verification (output terminals shorted)\n"));
    events.stepStart(QStringLiteral("current"));
    wizard.Command1_Click(1);
    Print(asLeft(true) + SpotGridText(session.FGridC));
    const bool pass = ui.full().step[2] == 2 && session.st.AllPass;
    stepEnd(QStringLiteral("current"), pass);
    return Conclude(session, pass);
}

} // namespace psucal
