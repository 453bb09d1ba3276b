#include "app/FrmMain.h"
#include "link/Trace.h"
#include "tests/app/VirtualSession.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>

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
    w.session.bench.supplyPort.setPresentPorts({"COM1"});
    w.window.portSelector()->setCurrentIndex(2);
    emit w.window.portSelector()->activated(2);
    EXPECT_EQ(w.session.bench.supplyPort.portName(), "COM3");
    EXPECT_EQ(w.caption(), "REFRESH");
    EXPECT_EQ(w.window.statusPanel(2)->text(), "No Connection");
}

TEST(FrmMain, APortNamedTwoWaysIsOneEntry)
{
    WindowSession w(Unit(40), {"COM1", "COM2", "COM3", "COM4", "/dev/ttyUSB0"}, "ttyUSB0");
    EXPECT_EQ(w.window.portSelector()->count(), 5);
    EXPECT_EQ(w.window.portSelector()->currentText(), "/dev/ttyUSB0");
}

// Ending the program leaves the process, so these run in a child process that reports the
// frames the supply saw on its way out.
TEST(FrmMainDeathTest, CloseCaptionAndWindowCloseBothSendEnds)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            WindowSession w(Unit(40));
            w.window.setBeforeExit(
                [&] { std::fprintf(stderr, "frames:%s\n", qPrintable(w.session.model.frames().join(','))); });
            w.click();
            w.click();
            w.click();
        },
        ::testing::ExitedWithCode(0), "ENDS00\n");

    EXPECT_EXIT(
        {
            WindowSession w(Unit(40));
            w.window.setBeforeExit([&] {
                std::fprintf(stderr, "stop:%d frames:%s\n", w.session.st.StopFlag ? 1 : 0,
                             qPrintable(w.session.model.frames().mid(w.session.model.frames().size() - 1).join(',')));
            });
            w.session.clock.scheduleIn(3.0, [&] { w.window.close(); });
            w.click();
        },
        ::testing::ExitedWithCode(0), "stop:1 frames:ENDS00\n");

    // "CLOSE" pressed while the unit on a newly chosen port is being identified: "ENDS" still
    // goes out.
    EXPECT_EXIT(
        {
            QTemporaryDir dir;
            WindowSession w(Unit(40));
            Trace trace(dir.filePath("trace"), w.session.clock);
            w.session.supply.setTrace(&trace);
            w.window.setBeforeExit([&] {
                QFile f(dir.filePath("trace"));
                QByteArrayList sent;
                if (f.open(QIODevice::ReadOnly))
                    for (const QByteArray& line : f.readAll().split('\n'))
                        if (line.contains(" supply > "))
                            sent << line.mid(line.indexOf('>') + 2);
                dir.remove();
                std::fprintf(stderr, "sent:%s\n", sent.mid(sent.size() - 2).join(',').constData());
            });
            w.click();
            w.click();
            w.session.clock.scheduleIn(0.005, [&] { w.click(); });
            emit w.window.portSelector()->activated(0);
        },
        ::testing::ExitedWithCode(0), "sent:GMAX00\\\\r,ENDS00\\\\r\n");
}
