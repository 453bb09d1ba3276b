#pragma once

#include <QPagedPaintDevice>
#include <QString>

namespace psucal {

struct ReportData;

// The certificate as a file, beside the report it belongs to.
class CertificateOutput {
public:
    // Files the certificate of `data` (whose `certificate` is set) as <report>_cert.pdf beside
    // the report at `reportPath`. Returns the path, or an empty string with the reason in `error`.
    static QString WritePdf(const QString& reportPath, const ReportData& data, QString* error);

    // Paints every page of the certificate onto `device`.
    static bool Paint(QPagedPaintDevice& device, const ReportData& data, QString* error);
};

} // namespace psucal
