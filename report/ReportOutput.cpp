#include "report/ReportOutput.h"

#include "core/NewFile.h"
#include "report/PainterCanvas.h"
#include "report/ReportData.h"
#include "report/ReportPainter.h"

#include <QDir>
#include <QFile>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

namespace psucal {

namespace {

QString Title(const ReportData& data)
{
    return QStringLiteral("Calibration report %1").arg(data.SerialNo);
}

} // namespace

bool ReportOutput::Paint(QPagedPaintDevice& device, const ReportData& data, QString* error)
{
    PainterCanvas canvas(device);
    if (!canvas.isActive()) {
        *error = QStringLiteral("the output could not be started");
        return false;
    }
    const bool painted = ReportPainter(data, canvas).paint();
    if (!canvas.finish() || !painted) {
        *error = QStringLiteral("the output could not be completed");
        return false;
    }
    return true;
}

QString ReportOutput::WritePdf(const QString& programDir, const ReportData& data, const QDateTime& when, QString* error)
{
    return FilePdf(QDir(programDir).filePath(QStringLiteral("reports")), files::Stem(data.SerialNo, when), Title(data),
                   [&data](QPagedPaintDevice& device, QString* why) { return Paint(device, data, why); }, error);
}

QString ReportOutput::FilePdf(const QString& folder, const QString& stem, const QString& title, const Painting& paint,
                              QString* error)
{
    QFile file;
    if (!files::CreateNew(file, folder, stem, QStringLiteral(".pdf"), error))
        return QString();

    bool painted;
    {
        QPdfWriter pdf(&file);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
        pdf.setTitle(title);
        pdf.setCreator(QStringLiteral("psucal"));
        painted = paint(pdf, error);
    }
    bool written = painted;
    if (written && (file.error() != QFileDevice::NoError || !file.flush())) {
        *error = QStringLiteral("cannot write %1 (%2)").arg(file.fileName(), file.errorString());
        written = false;
    }
    file.close();
    if (written)
        return file.fileName();
    file.remove();
    return QString();
}

bool ReportOutput::Print(const ReportData& data, QString* error, const QString& printerName)
{
    const QPrinterInfo info =
        printerName.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(printerName);
    if (info.isNull()) {
        *error = printerName.isEmpty() ? QStringLiteral("no printer is configured")
                                       : QStringLiteral("there is no printer named %1").arg(printerName);
        return false;
    }
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setDocName(Title(data));
    if (!Paint(printer, data, error))
        return false;
    if (printer.printerState() == QPrinter::Error) {
        *error = QStringLiteral("the printer %1 reported an error").arg(info.printerName());
        return false;
    }
    return true;
}

} // namespace psucal
