#include "report/ReportJob.h"

#include "report/ReportData.h"
#include "report/CertificateOutput.h"
#include "report/ReportOutput.h"
#include "report/BenchRecords.h"

namespace psucal {

ReportJob::Outcome ReportJob::PrintReport(BenchRecords& store, const ReportData& data, const QString& programDir,
                                          const QDateTime& when, bool toPrinter, const QString& printerName)
{
    Outcome out;
    const BenchRecords::Placement placed = store.Store(data);
    out.stored = placed.stored();
    if (!out.stored) {
        out.error = placed.message;
        return out;
    }
    out.storeNote = placed.message;

    QString why;
    out.pdfPath = ReportOutput::WritePdf(programDir, data, when, &why);
    if (out.pdfPath.isEmpty())
        out.error = QStringLiteral("The report could not be filed as PDF: %1.").arg(why);

    out.certificateAsked = data.certificate != nullptr;
    if (out.certificateAsked && !out.pdfPath.isEmpty()) {
        out.certificatePath = CertificateOutput::WritePdf(out.pdfPath, data, &why);
        if (out.certificatePath.isEmpty())
            out.error = QStringLiteral("The certificate could not be filed as PDF: %1.").arg(why);
    }

    if (toPrinter && !ReportOutput::Print(data, &why, printerName)) {
        out.printerError = QStringLiteral("The report was not printed: %1.").arg(why);
        if (!out.pdfPath.isEmpty())
            out.printerError += QStringLiteral(" It is filed as %1.").arg(out.pdfPath);
    }
    return out;
}

} // namespace psucal
