#include "wizard/Workbench.h"

#include "core/Clock.h"
#include "db/Database.h"
#include "eeprom/EepromEditor.h"
#include "report/ReportData.h"
#include "report/BenchRecords.h"

#include <QDateTime>

#include <algorithm>

namespace psucal {

Workbench::Workbench(BenchUiHost& host, Clock& clock, Transport& supplyPort, Transport& meterPort,
                     const QString& programDir)
    : ui(host), supply(st, ui, clock, supplyPort), meter(st, ui, clock, meterPort),
      calibrator(st, ui, supply, programDir), wizard(st, ui, supply, meterPort, FGridV, FGridC),
      verifier(st, ui, supply, meter, FGridV, FGridC), fullWizard(st, ui, wizard, FGridV, FGridC),
      define(st, ui, supply), dir_(programDir)
{
    wizard.setProcedures(
        Wizard::Procedures{[this] { calibrator.CalibrateVoltage(); }, [this] { calibrator.CalibrateCurrent(); }});
    verifier.setIdentify([this](int selector) { wizard.IdentifySupply(selector); });
    fullWizard.setProcedures(FullWizard::Procedures{
        [this] { define.Run(); }, [this] { calibrator.CalibrateVoltage(); }, [this] { calibrator.CalibrateCurrent(); },
        [this] { verifier.VerifyVoltage(); }, [this] { verifier.VerifyCurrent(); }});
    // Define and the editor write to the unit too: the as-found backup comes first for them as well.
    define.setBackupGuard([this] { return calibrator.backup().BeforeFirstWrite(); });
    define.setIdentify([this](int selector) { wizard.IdentifySupply(selector); });
    // Whatever ended the program, a wait still under way ends too, and no exchange follows.
    ui.setOnEnding([this, &clock] {
        st.StopFlag = true;
        clock.wake();
    });
    // A table read from the last unit must not be written to the next one.
    wizard.setForgetHook([this] {
        if (editor_)
            editor_->WithdrawRead();
    });
}

Workbench::~Workbench() = default;

void Workbench::FormLoad(const QString& supplyPort, const QString& meterPort, bool eepEnabled)
{
    if (st.RunMode == 3) {
        wizard.FormLoad(supplyPort, meterPort);
        return;
    }
    fullWizard.FormLoad(supplyPort, meterPort, eepEnabled);
    openDatabase();
}

bool Workbench::openDatabase()
{
    editor_.reset();
    results_.reset();
    db_ = std::make_unique<Database>(dir_);
    if (!db_->usable()) {
        databaseError_ = db_->error();
        fullWizard.setEepromRead({});
        fullWizard.setReport({});
        FullWindowUi& f = ui.full();
        f.eepVisible = f.eepChecked = f.printEnabled = false;
        ui.setStatus(1, QStringLiteral("EEP and Print are off: %1 cannot be used").arg(Database::FileName));
        ui.messageBox(databaseError_);
        return false;
    }
    databaseError_.clear();
    results_ = std::make_unique<BenchRecords>(db_->connection(), dir_, server_);
    editor_ = std::make_unique<EepromEditor>(st, ui, supply, db_->connection());
    editor_->setBackupGuard([this] { return calibrator.backup().BeforeFirstWrite(); });
    QObject::connect(editor_.get(), &EepromEditor::busyChanged, [this](bool busy) { editorBusy(busy); });
    fullWizard.setEepromRead([this] { editor_->CmdRead_Click(); });
    fullWizard.setReport([this] { return printReport(toPrinter_); });
    return true;
}

QSqlDatabase Workbench::connection() const
{
    return db_ ? db_->connection() : QSqlDatabase();
}

QString Workbench::drawCertificateNumber(QString* error)
{
    return results_->NextCertificateNumber(QDate::currentDate(), error);
}

// The wizard's controls and the port selector wait while the editor talks to the supply.
void Workbench::editorBusy(bool busy)
{
    if (busy)
        editorPage_.emplace(ui);
    else
        editorPage_.reset();
    ui.setButtonEnabled(!busy);
}

ReportData Workbench::reportData() const
{
    ReportData d(FGridV, FGridC);
    d.ClientModel = ui.full().header[0];
    d.SerialNo = st.SerialNo;
    d.MaxV = st.MaxV;
    d.MaxI = st.MaxI;
    d.rating = ui.rating();
    d.EquipmentText = st.EquipmentText;
    d.AmbientTemp = st.AmbientTemp;
    d.TestedBy = st.TestedBy;
    d.StartDate = st.StartDate;
    d.AllPass = st.AllPass;
    d.SpotCount = st.SpotCount;
    d.Repeats = st.Repeats;
    return d;
}

namespace {

QList<SpotResult> Spots(const SpotGrid& grid)
{
    QList<SpotResult> spots;
    for (int row = SpotGrid::FirstSpotRow; row < grid.rowCount(); ++row)
        spots << *grid.spot(row);
    return spots;
}

QString Procedure(const BenchState& st, bool adjusted, bool asFound)
{
    const QString passes = QStringLiteral("%1 spots per quantity").arg(st.SpotCount);
    QString text = !adjusted ? QStringLiteral("Run mode %1: verification of voltage and current, %2, no adjustment")
                   : st.RunMode == 0
                       ? QStringLiteral("Run mode %1: base data defined, voltage and current calibrated, "
                                        "then verified at %2")
                       : QStringLiteral("Run mode %1: voltage and current calibrated, then verified at %2");
    text = text.arg(st.RunMode).arg(passes);
    if (asFound)
        text += QStringLiteral("; verified as found before adjustment");
    return text;
}

} // namespace

CertificateData Workbench::certificateData() const
{
    CertificateData c;
    c.bench = BenchRecords::BenchName();
    c.adjusted = !st.OnlyRead && st.RunMode != 1;
    c.meterIdentity = st.MeterIdentity;
    c.meterId = st.MeterId;
    c.meterCalDue = st.MeterCalDue;
    c.shuntId = st.ShuntId;
    c.shuntCalDue = st.ShuntCalDue;
    c.shuntOhm = st.ShuntOhm;
    c.shuntTol = st.ShuntTol;
    c.referenceOverdue = st.ReferenceOverdue;
    c.humidity = st.Humidity;
    c.guardRule = st.GuardRule;
    c.voltage.left = Spots(FGridV);
    c.current.left = Spots(FGridC);
    // Without an adjustment the one pass is the as-left data, whatever an as-found pass kept.
    if (c.adjusted) {
        c.voltage.found = fullWizard.asFound(false);
        c.current.found = fullWizard.asFound(true);
    }
    c.procedure = Procedure(st, c.adjusted, !c.voltage.found.isEmpty() || !c.current.found.isEmpty());
    return c;
}

ReportJob::Outcome Workbench::printReport(bool toPrinter)
{
    ReportJob::Outcome out;
    if (!results_) {
        out.error =
            databaseError_.isEmpty() ? QStringLiteral("%1 is not open.").arg(Database::FileName) : databaseError_;
        return out;
    }
    ReportData data = reportData();
    CertificateData certificate;
    if (st.Certificate) {
        certificate = certificateData();
        QString why;
        certificate.number = drawCertificateNumber(&why);
        if (certificate.number.isEmpty()) {
            out.certificateAsked = true;
            out.error = QStringLiteral("No certificate number could be drawn: %1.").arg(why);
            return out;
        }
        data.certificate = &certificate;
    }
    return ReportJob::PrintReport(*results_, data, dir_, QDateTime::currentDateTime(), toPrinter, printerName_);
}

} // namespace psucal
