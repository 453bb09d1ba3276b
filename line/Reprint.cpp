#include "core/Rating.h"
#include "line/Reprint.h"

#include "report/ReportData.h"
#include "report/ReportOutput.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPdfWriter>

namespace psucal::line {

namespace {

void Fill(SpotGrid& grid, const UnitRun& run, bool current)
{
    grid.setRowCount(SpotGrid::FirstSpotRow + static_cast<int>(run.spots.size()));
    grid.writeHeaders();
    int row = SpotGrid::FirstSpotRow;
    for (const Spot& s : run.spots) {
        const auto& v = current ? s.current : s.voltage;
        grid.setText(row, SpotGrid::StepColumn, QString::number(s.step));
        for (int c = 0; c < 3; ++c)
            grid.setText(row, SpotGrid::SettingColumn + c, v[c]);
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
