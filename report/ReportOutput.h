#pragma once

#include <QDateTime>
#include <QPagedPaintDevice>
#include <QString>

namespace psucal {

struct ReportData;

// The report as paper and as a file.
class ReportOutput {
public:
    // Files the report as an A4 PDF: <programDir>/reports/<serial>_<yyyyMMdd-HHmmss>.pdf, with
    // the serial reduced to safe characters, and -2, -3 ... when that name is taken. Returns the
    // path, or an empty string with the reason in `error`; a PDF that could not be written whole
    // is removed.
    static QString WritePdf(const QString& programDir, const ReportData& data, const QDateTime& when, QString* error);

    // Sends the report to `printerName`, or to the default printer when empty, without a dialog.
    // False with the reason in `error` when there is no such printer or the job failed.
    static bool Print(const ReportData& data, QString* error, const QString& printerName = QString());

    // Paints every page of the report onto `device`.
    static bool Paint(QPagedPaintDevice& device, const ReportData& data, QString* error);
};

} // namespace psucal
