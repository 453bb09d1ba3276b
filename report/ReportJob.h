#pragma once

#include <QDateTime>
#include <QString>

namespace psucal {

struct ReportData;
class BenchRecords;

// Printing a report: store the unit's records, file the PDF (and the certificate beside it when the
// data carries one), and send the report to the printer when asked. Records that cannot be stored stop the job before anything is printed, so every filed
// report has its records.
class ReportJob {
public:
    struct Outcome {
        bool stored = false;
        QString pdfPath;      // empty: no PDF was written
        bool certificateAsked = false;
        QString certificatePath; // empty: no certificate was filed
        QString error;        // why the records or the PDF are missing, for the operator
        QString storeNote;    // the records went elsewhere than they should (the outbox): where, and why
        QString printerError; // why the printer got nothing, for the operator; the PDF is still filed
        // The records are stored, the PDF is filed and so is the certificate when one was asked
        // for; a printer error does not change that.
        bool succeeded() const
        {
            return stored && !pdfPath.isEmpty() && (!certificateAsked || !certificatePath.isEmpty());
        }
    };

    static Outcome PrintReport(BenchRecords& store, const ReportData& data, const QString& programDir,
                               const QDateTime& when, bool toPrinter, const QString& printerName = QString());
};

} // namespace psucal
