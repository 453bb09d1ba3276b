#include "report/CertificateOutput.h"

#include "report/CertificatePainter.h"
#include "report/PainterCanvas.h"
#include "report/ReportData.h"
#include "report/ReportOutput.h"

#include <QFileInfo>

namespace psucal {

bool CertificateOutput::Paint(QPagedPaintDevice& device, const ReportData& data, QString* error)
{
    if (!data.certificate) {
        *error = QStringLiteral("there is no certificate to print");
        return false;
    }
    PainterCanvas canvas(device, PainterCanvas::Letters::Separate);
    if (!canvas.isActive()) {
        *error = QStringLiteral("the output could not be started");
        return false;
    }
    const bool painted = CertificatePainter(data, canvas).paint();
    if (!canvas.finish() || !painted) {
        *error = QStringLiteral("the output could not be completed");
        return false;
    }
    return true;
}

QString CertificateOutput::WritePdf(const QString& reportPath, const ReportData& data, QString* error)
{
    const QFileInfo report(reportPath);
    const QString number = data.certificate ? data.certificate->number : QString();
    return ReportOutput::FilePdf(
        report.absolutePath(), report.completeBaseName() + QStringLiteral("_cert"),
        QStringLiteral("Calibration certificate %1").arg(number),
        [&data](QPagedPaintDevice& device, QString* why) { return Paint(device, data, why); }, error);
}

} // namespace psucal
