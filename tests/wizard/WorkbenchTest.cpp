#include "eeprom/EepromEditor.h"
#include "report/MeasurementRows.h"
#include "report/ReportRows.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/VirtualSession.h"

#include <QDir>
#include <QFile>
#include <QSqlRecord>

#include <gtest/gtest.h>

#include <cmath>

using namespace psucal;
using namespace psucal::test;

namespace {

sim::SupplyConfig Unit()
{
    return {.ratingV = 20, .seed = 7, .serial = QStringLiteral("WB2001")};
}

// Run mode 1 (or another) with five spots, both passes run.
void VerifyBoth(VirtualSession& b, int runMode = 1)
{
    b.st.SpotCount = 5;
    b.loadFull(runMode);
    b.full.Command1_Click(1);
    b.full.Command1_Click(1);
}

} // namespace

TEST(Workbench, EepReadsTheUnitHoldsTheWizardWhileItWorksAndForgetsTheReadWithThePort)
{
    VirtualSession b(Unit());
    b.loadFull(0, true);
    ASSERT_TRUE(b.ui.full().eepVisible);
    ASSERT_NE(b.editor(), nullptr);

    // Halfway through the image the operator tries the wizard and the port.
    bool held = false;
    int sentMeanwhile = -1;
    b.clock.schedule(b.clock.now() + 1.0, [&] {
        held = b.ui.full().pageRunning && !b.ui.buttonEnabled() && !b.ui.portSelectable();
        const int n = b.model.frames().size();
        b.full.Command1_Click(1);
        b.full.CmbCommPort_Click("COM3");
        sentMeanwhile = b.model.frames().size() - n;
    });
    const int n = b.model.frames().size();
    b.full.CekEEP_Click(true);
    EXPECT_EQ(b.framesSince(n), QStringList{"GEEP00"});
    EXPECT_TRUE(held);
    EXPECT_EQ(sentMeanwhile, 0);
    EXPECT_TRUE(b.ui.full().eepChecked && b.editor()->readValid());
    EXPECT_EQ(b.editor()->unitSerial(), "WB2001");
    EXPECT_TRUE(b.ui.buttonEnabled() && !b.ui.full().pageRunning);

    b.full.CmbCommPort_Click("COM1");
    EXPECT_FALSE(b.editor()->readValid());
}

TEST(Workbench, AFileThatIsNotADatabaseIsLeftAloneAndTurnsEepAndPrintOff)
{
    VirtualSession b(Unit());
    QFile foreign(b.dir.filePath("Calibration.dt"));
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write("Standard Jet DB, not ours");
    foreign.close();
    b.loadFull(0, true);
    EXPECT_EQ(b.editor(), nullptr);
    EXPECT_FALSE(b.ui.full().eepVisible);
    EXPECT_EQ(b.recorder.messages.size(), 1);
    EXPECT_TRUE(b.recorder.messages.value(0).contains("is not an SQLite database"));
    EXPECT_EQ(b.ui.status(1), "EEP and Print are off: Calibration.dt cannot be used");

    VirtualSession v(Unit());
    QFile::copy(foreign.fileName(), v.dir.filePath("Calibration.dt"));
    VerifyBoth(v);
    EXPECT_EQ(v.ui.full().step, (std::array<int, 3>{2, 2, 2}));
    EXPECT_FALSE(v.ui.full().printEnabled);
    ASSERT_TRUE(foreign.open(QIODevice::ReadOnly));
    EXPECT_EQ(foreign.readAll(), "Standard Jet DB, not ours");
}

TEST(Workbench, PrintChecksTheBoxesThenStoresFilesAndTellsPrinterTroubleApart)
{
    VirtualSession b(Unit());
    b.setPrinting(true, "psucal-test-no-such-printer");
    VerifyBoth(b);
    ASSERT_TRUE(b.ui.full().printEnabled);
    b.recorder.messages.clear();

    b.full.CmdPrint_Click();
    EXPECT_EQ(b.recorder.messages, QStringList{"Please enter Client Model !"});
    EXPECT_EQ(b.ui.full().focusBox, 0);
    b.full.TxtH_Change(0, "PSU-20");
    const QString serial = b.st.SerialNo;
    b.st.SerialNo.clear();
    b.full.CmdPrint_Click();
    EXPECT_EQ(b.recorder.messages.last(), "S/N = ?");
    EXPECT_EQ(b.ui.full().focusBox, 4);
    EXPECT_FALSE(QDir(b.dir.filePath("reports")).exists());

    b.st.SerialNo = serial;
    b.recorder.messages.clear();
    b.full.CmdPrint_Click();
    const QString pdf = b.full.lastReport().pdfPath;
    EXPECT_TRUE(pdf.startsWith(b.dir.filePath("reports/WB2001_")) && QFile::exists(pdf)) << pdf.toStdString();
    EXPECT_EQ(b.ui.status(2), "Report filed: " + pdf);
    ASSERT_EQ(b.recorder.messages.size(), 1);
    EXPECT_TRUE(b.recorder.messages[0].contains("psucal-test-no-such-printer"));
    EXPECT_TRUE(b.recorder.messages[0].contains("It is filed as " + pdf));
    QSqlDatabase db = b.connection();
    QString error;
    EXPECT_EQ(ReportRows::Records(db, "WB2001", &error).size(), 5) << error.toStdString();
}

TEST(Workbench, PrintWithAServerAwayKeepsTheRecordsInTheOutboxAndSaysWhere)
{
    VirtualSession b(Unit());
    QString error;
    b.setServer(ServerAddress::Parse("postgresql://qa@%2Fnonexistent:5432/calib", &error));
    b.setPrinting(false);
    VerifyBoth(b);
    b.full.TxtH_Change(0, "PSU-20");
    b.recorder.messages.clear();
    b.full.CmdPrint_Click();
    EXPECT_TRUE(b.full.lastReport().succeeded());
    ASSERT_EQ(b.recorder.messages.size(), 1);
    EXPECT_TRUE(b.recorder.messages[0].contains(b.dir.filePath("Outbox.dt"))) << qPrintable(b.recorder.messages[0]);
    QSqlDatabase db = b.connection();
    EXPECT_TRUE(ReportRows::Records(db, "WB2001", &error).isEmpty());
}

// With a certificate the passes work out U under the simple rule too, and Print files the
// certificate beside the report under the same name. Run mode 1 adjusts nothing: its one pass is
// the as-left data whatever --as-found asked for.
TEST(Workbench, CertificateCarriesBothPassesAndIsFiledBesideTheReport)
{
    for (const int mode : {2, 1}) {
        SCOPED_TRACE(mode);
        VirtualSession b(Unit());
        b.st.AsFound = b.st.Certificate = true;
        b.setPrinting(false);
        VerifyBoth(b, mode);
        const CertificateData c = b.certificateData();
        EXPECT_EQ(c.adjusted, mode == 2);
        EXPECT_EQ(c.voltage.found.size() + c.current.found.size(), mode == 2 ? 10 : 0);
        EXPECT_TRUE(c.current.left.value(4).outputLimits.U && c.voltage.left.value(0).displayLimits.U);

        b.full.TxtH_Change(0, "PSU-20");
        b.full.CmdPrint_Click();
        const ReportJob::Outcome& out = b.full.lastReport();
        ASSERT_TRUE(out.succeeded()) << out.error.toStdString();
        EXPECT_TRUE(out.certificatePath == out.pdfPath.chopped(4) + "_cert.pdf" && QFile::exists(out.certificatePath));
        EXPECT_TRUE(b.ui.status(2).endsWith("; certificate: " + out.certificatePath));

        // The display check decides nothing and reads no meter: it says where the display lies,
        // with U from the display's step alone; the output check still passes or fails.
        QSqlDatabase db = b.connection();
        QString error;
        const QList<QSqlRecord> rows = MeasurementRows::Read(db, "WB2001", &error);
        ASSERT_EQ(rows.size(), (mode == 2 ? 2 : 1) * 2 * 5 * 2) << error.toStdString();
        for (const QSqlRecord& r : rows) {
            const QString result = r.value("Result").toString();
            SCOPED_TRACE((r.value("Quantity").toString() + r.value("Spot").toString() + ' ' + result).toStdString());
            if (r.value("Check").toString() == "display") {
                const double step = r.value("Quantity").toString() == "I" ? 0.001 : 0.01;
                EXPECT_NEAR(r.value("U").toDouble(), 2 * step / std::sqrt(12.0), 1e-12);
                EXPECT_TRUE(QStringList({"ok", "high", "low"}).contains(result));
            } else {
                EXPECT_GT(r.value("U").toDouble(), 0.0);
                EXPECT_TRUE(result == "Pass" || result == "Fail");
            }
        }
    }
}
