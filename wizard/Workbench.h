#pragma once

#include "wizard/FullWizard.h"
#include "wizard/PageGuard.h"
#include "wizard/Wizard.h"
#include "cal/Calibrator.h"
#include "cal/Define.h"
#include "cal/Verifier.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "db/ServerAddress.h"
#include "link/MeterLink.h"
#include "link/SupplyLink.h"
#include "report/CertificateData.h"
#include "report/ReportJob.h"
#include "spots/SpotGrid.h"

#include <QSqlDatabase>
#include <QString>

#include <memory>
#include <optional>

namespace psucal {

class Clock;
class Database;
class EepromEditor;
class BenchRecords;
class Transport;
struct ReportData;

// Everything one running psucal owns apart from its clock and its two ports, wired together:
// state, controls, links, test-spot grids, the procedures, both wizards and Define; in run
// modes 0-2 also Calibration.dt, the EEPROM editor over it and the report. The program and
// the tests build it on their own clock and ports.
class Workbench {
public:
    Workbench(BenchUiHost& host, Clock& clock, Transport& supplyPort, Transport& meterPort, const QString& programDir);
    ~Workbench();
    Workbench(const Workbench&) = delete;
    Workbench& operator=(const Workbench&) = delete;

    // The start-up sequence up to the first wizard page; run modes 0-2 end it with the database.
    void FormLoad(const QString& supplyPort, const QString& meterPort, bool eepEnabled);

    // The line's records server; empty (the default) keeps the records in Calibration.dt. Set
    // before the database is opened.
    void setServer(const ServerAddress& server) { server_ = server; }
    const ServerAddress& server() const { return server_; }

    // Calibration.dt opened, or created when missing. A file that cannot be used is left alone:
    // the operator is told why, and "EEP" and "Print" stay off.
    bool openDatabase();
    // The editor over TB1; null until the database is open, or when it is unusable.
    EepromEditor* editor() const { return editor_.get(); }
    // Why the records and the editor are unavailable; empty when they are.
    const QString& databaseError() const { return databaseError_; }
    // The open Calibration.dt; invalid before openDatabase().
    QSqlDatabase connection() const;

    // The report as the window shows it now: header boxes, the unit and both grids.
    ReportData reportData() const;
    // The certificate of the unit as it stands now: references, conditions, the decision rule and
    // both passes' results; without its number.
    CertificateData certificateData() const;
    // Stores the records (in Calibration.dt, or on the server with the outbox as fallback), files
    // the PDF and, when asked, prints: what "Print" and --report do.
    ReportJob::Outcome printReport(bool toPrinter);
    // Whether "Print" sends the report to a printer besides filing it (the window's does), and
    // to which one (empty: the default printer).
    void setPrinting(bool toPrinter, const QString& printerName = QString())
    {
        toPrinter_ = toPrinter;
        printerName_ = printerName;
    }

    const QString& programDir() const { return dir_; }

    BenchState st;
    BenchUi ui;
    SupplyLink supply;
    MeterLink meter;
    SpotGrid FGridV;
    SpotGrid FGridC{true};
    Calibrator calibrator;
    Wizard wizard;
    Verifier verifier;
    FullWizard fullWizard;
    Define define;

private:
    void editorBusy(bool busy);
    // The next certificate number from the records store; empty with the reason in `error`.
    QString drawCertificateNumber(QString* error);

    QString dir_;
    ServerAddress server_;
    std::unique_ptr<Database> db_;
    std::unique_ptr<BenchRecords> results_;
    std::unique_ptr<EepromEditor> editor_;
    QString databaseError_;
    bool toPrinter_ = true;
    QString printerName_;
    // Held while the editor works, so that the wizard's controls and the port wait for it.
    std::optional<PageGuard> editorPage_;
};

} // namespace psucal
