#include "core/Rating.h"
#include "line/Reprint.h"

#include "report/ReportData.h"
#include "report/ReportOutput.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPdfWriter>

#include <cmath>
#include <optional>

namespace psucal::line {

namespace {

std::optional<double> Number(const QString& text)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

void Fill(SpotGrid& grid, const UnitRun& run, bool current)
{
    const int n = static_cast<int>(run.spots.size());
    if (current)
        grid.BuildCurrentSpots(n, 0.0f, 0.0f);
    else
        grid.BuildVoltageSpots(n, 0.0f, 0.0f);
    int row = SpotGrid::FirstSpotRow;
    for (const Spot& s : run.spots) {
        const auto& v = current ? s.current : s.voltage;
        SpotResult& spot = *grid.spot(row);
        spot.setting = Number(v[0]).value_or(0.0);
        spot.display = Number(v[1]);
        spot.mean = Number(v[2]);
        grid.judgeOutput(row);
        ++row;
    }
}

} // namespace

QByteArray ReprintPdf(const UnitRun& run, QString* error)
{
    SpotGrid voltage(false), current(true);
    Fill(voltage, run, false);
    Fill(current, run, true);
    ReportData d(voltage, current);
    d.ClientModel = run.run.model;
    d.SerialNo = run.run.serial;
    d.MaxV = run.maxV.toDouble();
    d.MaxI = run.maxC.toDouble();
    d.rating = FindRating(qRound(d.MaxV));
    d.EquipmentText = run.equipment;
    d.AmbientTemp = run.ambient;
    d.TestedBy = run.testedBy;
    d.StartDate = QDate::fromString(run.testDate, Qt::ISODate);
    d.AllPass = run.run.verdict == QLatin1String("PASS");
    d.SpotCount = static_cast<int>(run.spots.size());

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    bool painted;
    {
        QPdfWriter pdf(&buffer);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
        pdf.setTitle(QStringLiteral("Calibration report %1").arg(d.SerialNo));
        pdf.setCreator(QStringLiteral("psucal-line"));
        painted = ReportOutput::Paint(pdf, d, error);
    }
    return painted ? bytes : QByteArray();
}

} // namespace psucal::line
