#include "wizard/FullWindowSetup.h"

#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/Numbers.h"
#include "core/Rating.h"
#include "spots/SpotGrid.h"

#include <algorithm>
#include <cmath>

namespace psucal {

namespace {
constexpr double TemperatureLimit = 9999; // keeps a pasted run of digits printable

// Whole percent within 0..100; a text without a number is not a humidity at all.
QString HumidityPercent(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || !(t[0].isDigit() || (t.size() > 1 && t[0] == u'.' && t[1].isDigit())))
        return QString();
    const double value = num::Leading(t);
    return std::isfinite(value) ? QString::number(std::lround(std::clamp(value, 0.0, 100.0))) : QString();
}
} // namespace

FullWindowSetup::FullWindowSetup(BenchState& state, BenchUi& ui, SpotGrid& gridV, SpotGrid& gridC)
    : st_(state), ui_(ui), gridV_(gridV), gridC_(gridC)
{
}

void FullWindowSetup::applyRunMode(bool eepEnabled)
{
    FullWindowUi& f = ui_.full();
    f.backEnabled = false;
    f.eepVisible = st_.RunMode == 0 && eepEnabled;
    if (st_.RunMode <= 1)
        f.modelEntries = RatingProducts();
    if (st_.RunMode >= 1) {
        f.step[0] = 2;
        f.stepVisible[0] = false;
    }
    if (st_.RunMode == 1) {
        st_.OnlyRead = true;
        f.onlyReadEnabled = false;
        f.smallCalEnabled = false;
    }
    if (st_.RunMode == 2) {
        f.modelEnabled = false;
        f.serialBoxEnabled = false;
    }
    ui_.fullChanged();
}

void FullWindowSetup::identified(int selector)
{
    ui_.full().windowCaption = QStringLiteral("Calibration %1 (Equipment HP-34401A) V%2.%3")
                                   .arg(st_.RatingText)
                                   .arg(PSUCAL_VERSION_MAJOR)
                                   .arg(PSUCAL_VERSION_MINOR);
    st_.VoltSpotStep = SpotGrid::VoltageSpotStep(static_cast<float>(st_.MaxV), st_.SpotCount);
    st_.CurrSpotStep = SpotGrid::CurrentSpotStep(static_cast<float>(st_.MaxI), st_.SpotCount);
    if (selector != 1)
        rebuild(false);
    if (selector != 0)
        rebuild(true);
    ui_.fullChanged();
}

// New spots mean new results: nothing measured before stays in the grid or in the pass flags.
void FullWindowSetup::rebuild(bool current)
{
    if (current) {
        gridC_.BuildCurrentSpots(st_.SpotCount, static_cast<float>(st_.CurrSpotStep), static_cast<float>(st_.MaxI));
        gridC_.clearResults();
        st_.CurrPass = false;
    } else {
        gridV_.BuildVoltageSpots(st_.SpotCount, static_cast<float>(st_.VoltSpotStep), static_cast<float>(st_.MaxV));
        gridV_.clearResults();
        st_.VoltPass = false;
    }
    st_.AllPass = false;
    ui_.full().passDone[current] = false;
    ui_.full().printEnabled = false;
    ui_.gridChanged(current, -1);
    ui_.redrawChart(current);
}

void FullWindowSetup::setAxisLabels()
{
    FullWindowUi& f = ui_.full();
    const double n = st_.SpotCount;
    if (st_.MaxV > 0)
        f.voltAxis = {num::Fixed(st_.MaxV / n, 1) + u'V', num::Fixed(st_.MaxV, 1) + u'V'};
    if (st_.MaxI > 0)
        f.currAxis = {num::Fixed(st_.MaxI / n, 2) + u'A', num::Fixed(st_.MaxI, 2) + u'A'};
    ui_.fullChanged();
}

void FullWindowSetup::headerChanged(int index, const QString& text)
{
    FullWindowUi& f = ui_.full();
    switch (index) {
    case 0:
        st_.ClientModel = f.header[0] = text;
        break;
    case 1:
        st_.EquipmentText = f.header[1] = text;
        break;
    case 2: {
        const double value = num::Leading(text);
        const double whole =
            std::isfinite(value) ? std::clamp(std::floor(value), -TemperatureLimit, TemperatureLimit) : 0;
        st_.AmbientTemp = f.header[2] = QString::number(static_cast<int>(whole));
        break;
    }
    case 3:
        st_.TestedBy = f.header[3] = text;
        break;
    case 4:
        st_.SerialNoEdit = text;
        ui_.setSerialBox(text);
        break;
    case 5:
        st_.Humidity = f.humidity = HumidityPercent(text);
        break;
    default:
        return;
    }
    ui_.fullChanged();
}

void FullWindowSetup::copyHeaders()
{
    const FullWindowUi& f = ui_.full();
    st_.EquipmentText = f.header[1];
    st_.AmbientTemp = f.header[2];
    st_.TestedBy = f.header[3];
}

} // namespace psucal
