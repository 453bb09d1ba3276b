#pragma once

#include <QDateTime>
#include <QPagedPaintDevice>
#include <QString>

#include <functional>

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

    // Files what `paint` draws as an A4 PDF, <folder>/<stem>.pdf or -2, -3 ... when taken. Returns
    // the path, or an empty string with the reason in `error`; a PDF not written whole is removed.
    using Painting = std::function<bool(QPagedPaintDevice&, QString*)>;
    static QString FilePdf(const QString& folder, const QString& stem, const QString& title, const Painting& paint,
                           QString* error);

    // Sends the report to `printerName`, or to the default printer when empty, without a dialog.
    // False with the reason in `error` when there is no such printer or the job failed.
    static bool Print(const ReportData& data, QString* error, const QString& printerName = QString());

    // Paints every page of the report onto `device`.
    static bool Paint(QPagedPaintDevice& device, const ReportData& data, QString* error);
};

} // namespace psucal
