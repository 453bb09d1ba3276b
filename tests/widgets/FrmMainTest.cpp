#include "widgets/FrmMain.h"
#include "link/Trace.h"
#include "tests/support/VirtualSession.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace psucal;
using namespace psucal::test;

namespace {

struct WindowSession {
    explicit WindowSession(sim::SupplyConfig cfg, const QStringList& ports = {"COM1", "COM2", "COM3", "COM4"},
                           const QString& port = "COM1")
        : session(window, cfg)
    {
        window.attach(&session.ui, &session.wizard, ports, port);
        window.show();
        session.load();
    }
    void click() { QTest::mouseClick(window.wizardButton(), Qt::LeftButton); }
    QString caption() const { return window.wizardButton()->text(); }

    FrmMain window;
    VirtualSession session;
};

sim::SupplyConfig Unit(int ratingV)
{
    return {.ratingV = ratingV, .seed = 11};
}

} // namespace

TEST(FrmMain, ControlsFollowTheWizardAndLockWhileAStepRuns)
{
    WindowSession w(Unit(60));
    EXPECT_EQ(w.window.statusPanel(2)->text(), "60V/3.3A");
    bool buttonLive = true;
    bool selectorLive = true;
    w.session.clock.scheduleIn(2.0, [&] {
        buttonLive = w.window.wizardButton()->isEnabled();
        selectorLive = w.window.portSelector()->isEnabled();
    });
    w.click();
    EXPECT_FALSE(buttonLive);
    EXPECT_FALSE(selectorLive);
    EXPECT_EQ(w.caption(), "NEXT  >");
    EXPECT_TRUE(w.window.wizardButton()->isEnabled());
    EXPECT_TRUE(w.window.portSelector()->isEnabled());

    w.click();
    EXPECT_EQ(w.caption(), "CLOSE");
    EXPECT_FALSE(w.window.progressBar()->isVisible());
    EXPECT_EQ(w.window.focusWidget(), w.window.wizardButton());
}

TEST(FrmMain, ChoosingAPortIdentifiesTheUnitThere)
{
    WindowSession w(Unit(40));
    // The status bar counts the unit's replies asked again; the next unit starts from none.
    ASSERT_TRUE(w.session.model.faults().add("VOLT:garbage:nth=1"));
    w.click();
    EXPECT_TRUE(w.window.repeatsPanel()->isVisibleTo(&w.window));
    EXPECT_EQ(w.window.repeatsPanel()->text(), "1 reply asked again");
    w.session.bench.supplyPort.setPresentPorts({"COM1"});
    w.window.portSelector()->setCurrentIndex(2);
    emit w.window.portSelector()->activated(2);
    EXPECT_EQ(w.session.bench.supplyPort.portName(), "COM3");
    EXPECT_EQ(w.caption(), "REFRESH");
    EXPECT_EQ(w.window.statusPanel(2)->text(), "No Connection");
    EXPECT_FALSE(w.window.repeatsPanel()->isVisibleTo(&w.window));
}

TEST(FrmMain, APortNamedTwoWaysIsOneEntry)
{
    WindowSession w(Unit(40), {"COM1", "COM2", "COM3", "COM4", "/dev/ttyUSB0"}, "ttyUSB0");
    EXPECT_EQ(w.window.portSelector()->count(), 5);
    EXPECT_EQ(w.window.portSelector()->currentText(), "/dev/ttyUSB0");
}

// The program ends by leaving the event loop: the window hides and says so once, with the
// status main returns.
TEST(FrmMain, CloseCaptionAndWindowCloseBothSendEndsAndEndTheProgram)
{
    QList<int> ended;
    const auto watch = [&](FrmMain& window) {
        QObject::connect(&window, &FrmMain::ended, [&](int status) { ended << status; });
    };
    {
        WindowSession w(Unit(40));
        watch(w.window);
        w.click();
        w.click();
        const int n = w.session.model.frames().size();
        w.click();
        EXPECT_EQ(w.session.framesSince(n), QStringList{"ENDS00"});
        EXPECT_FALSE(w.window.isVisible());
        EXPECT_EQ(ended, QList<int>{0});
    }
    {
        // Mid-sweep: the close runs inside a wait; the sweep stops there, with nothing after ENDS.
        ended.clear();
        WindowSession w(Unit(40));
        watch(w.window);
        w.session.clock.scheduleIn(3.0, [&] { w.window.close(); });
        w.click();
        EXPECT_TRUE(w.session.st.StopFlag);
        EXPECT_EQ(w.session.model.frames().last(), "ENDS00");
        EXPECT_EQ(ended, QList<int>{0});
        bool ran = false;
        w.session.ui.guard([&] { ran = true; });
        EXPECT_FALSE(ran); // once ending, no handler runs again
    }
}

// "CLOSE" pressed while the unit on a newly chosen port is being identified: "ENDS" goes out,
// and the identification under way sends nothing more.
TEST(FrmMain, CloseInsideAWaitEndsTheWaitToo)
{
    WindowSession w(Unit(40));
    QTemporaryDir dir;
    Trace trace(dir.filePath("trace"), w.session.clock);
    w.session.supply.setTrace(&trace);
    w.click();
    w.click();
    w.session.clock.scheduleIn(0.005, [&] { w.click(); });
    emit w.window.portSelector()->activated(0);
    trace.flush();
    QFile f(dir.filePath("trace"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArrayList sent;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.contains(" supply > "))
            sent << line.mid(line.indexOf('>') + 2);
    EXPECT_EQ(sent.mid(sent.size() - 2), (QByteArrayList{"GMAX00\\r", "ENDS00\\r"}));
    EXPECT_TRUE(w.session.ui.ending());
}
