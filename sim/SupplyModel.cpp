#include "sim/SupplyModel.h"

#include "core/Numbers.h"
#include "core/Rating.h"

#include <algorithm>

namespace psucal::sim {

namespace {
constexpr int MaxPending = 4096;
constexpr double ShortResistance = 0.004; // ohms of leads and shorting link
const QByteArray Ok = "OK";
const QByteArray OkEnd = "OK\r";

bool AllDigits(const QByteArray& text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}
} // namespace

SupplyModel::SupplyModel(const SupplyConfig& config)
    : config_(config), rating_(FindRating(config.ratingV)), faults_(config.seed)
{
    if (rating_) {
        voltagePoints_ = PointScale::Of(rating_->voltage, rating_->sim.voltageGain);
        currentPoints_ = PointScale::Of(rating_->current, rating_->sim.currentGain);
        if (!config.ideal)
            displayError_ = DisplayError::Of(config.seed, rating_->gmaxVolts10 / 10.0, rating_->gmaxAmps100 / 100.0);
        errors_ = UnitErrors(voltagePoints_, currentPoints_, config.seed, config.defect, displayError_);
    }
    shorted_ = config_.terminals == Terminals::Short;
    fill();
}

void SupplyModel::fill()
{
    if (config_.blank)
        return;
    eeprom_.setSerial(config_.serial);
    if (!rating_)
        return;
    for (const BaseRow& row : rating_->baseData)
        eeprom_.setRow(row.row, row.data());
    for (int i = 0; i < voltagePoints_.count(); ++i)
        eeprom_.setSignedUnits(voltagePoints_.row(i), voltagePoints_.cell(i), errors_.foundVoltageUnits(i));
    for (int i = 0; i < currentPoints_.count(); ++i)
        eeprom_.setSignedUnits(currentPoints_.row(i), currentPoints_.cell(i), errors_.foundCurrentUnits(i));
}

void SupplyModel::setTerminals(Terminals t)
{
    config_.terminals = t;
    if (t != Terminals::Auto)
        shorted_ = t == Terminals::Short;
}

QList<Answer> SupplyModel::receive(const QByteArray& bytes)
{
    QList<Answer> answers;
    pending_ += bytes;
    int end;
    while ((end = pending_.indexOf('\r')) >= 0) {
        const QByteArray frame = pending_.left(end);
        pending_.remove(0, end + 1);
        frames_.append(QString::fromLatin1(frame));

        const bool framed = frame.size() >= 6 && frame.mid(4, 2) == "00";
        const QByteArray command = frame.left(4);
        const QByteArray data = framed ? frame.mid(6) : QByteArray();
        const QList<FaultRule> fired = faults_.fire(framed ? command + data : frame);

        Answer a;
        if (!FaultPlan::Loses(fired) && framed)
            a.bytes = answer(command, data);
        FaultPlan::Apply(fired, a, command == "GEEP" && !data.isEmpty());
        answers.append(a);
    }
    // Line noise without a carriage return must not grow without bound.
    if (pending_.size() > MaxPending)
        pending_.clear();
    return answers;
}

QByteArray SupplyModel::answer(const QByteArray& command, const QByteArray& data)
{
    if (command == "SESS" || command == "ENDS")
        return OkEnd;
    if (command == "SOUT") {
        if (data != "0" && data != "1")
            return "ER\r";
        output_ = data.toInt();
        if (config_.terminals == Terminals::Auto)
            shorted_ = output_ == 0;
        return OkEnd;
    }
    if (command == "VOLT")
        return setPoint(data, 0.1, voltageSet_);
    if (command == "CURR")
        return setPoint(data, 0.01, currentSet_);
    if (command == "GMAX")
        return gmax();
    if (command == "GETD")
        return getd();
    if (command == "GEEP")
        return geep(data);
    if (command == "SEEP")
        return seep(data);
    return QByteArray();
}

QByteArray SupplyModel::setPoint(const QByteArray& data, double unit, double& target)
{
    if (data.size() < 3 || !AllDigits(data))
        return "ER";
    target = num::RoundTo(data.toInt() * unit, 2);
    return Ok;
}

QByteArray SupplyModel::gmax() const
{
    if (rating_)
        return num::Digits(rating_->gmaxVolts10, 3).toLatin1() + num::Digits(rating_->gmaxAmps100, 3).toLatin1() + '0' +
               Ok;
    const int volts = std::clamp(config_.ratingV, 0, 99) * 10;
    return num::Digits(volts, 3).toLatin1() + "000" + '0' + "NG";
}

QByteArray SupplyModel::getd() const
{
    const Output shown = display();
    const double volts = std::clamp(shown.volts * 100, 0.0, 9999.0);
    const double amps = std::clamp(shown.amps * 1000, 0.0, 9999.0);
    return num::Digits(volts, 4).toLatin1() + num::Digits(amps, 4).toLatin1() + "00" + Ok;
}

QByteArray SupplyModel::geep(const QByteArray& data) const
{
    if (data.isEmpty())
        return eeprom_.image();
    if (data.size() != 3 || !AllDigits(data) || data.toInt() >= Eeprom::Rows)
        return "ER";
    return eeprom_.row(data.toInt()).toLatin1();
}

QByteArray SupplyModel::seep(const QByteArray& data)
{
    if (data.size() != 11 || !AllDigits(data.left(3)))
        return "ER\r";
    return eeprom_.setRow(data.left(3).toInt(), QString::fromLatin1(data.mid(3))) ? OkEnd : QByteArray("ER\r");
}

SupplyModel::Output SupplyModel::trueOutput() const
{
    double volts = voltageSet_;
    double amps = currentSet_;
    if (rating_) {
        const PointScale& v = voltagePoints_;
        const int vi = v.nearest(voltageSet_);
        volts += errors_.voltage(vi) + eeprom_.signedUnits(v.row(vi), v.cell(vi)) / 100.0 / v.gain;
        const PointScale& c = currentPoints_;
        const int ci = c.nearest(currentSet_);
        amps += errors_.current(ci) + eeprom_.signedUnits(c.row(ci), c.cell(ci)) / 1000.0 / c.gain;
    }
    Output out;
    if (shorted_) {
        out.amps = std::max(amps, 0.0);
        out.volts = out.amps * ShortResistance;
    } else {
        out.volts = std::max(volts, 0.0);
    }
    return out;
}

SupplyModel::Output SupplyModel::display() const
{
    const Output out = trueOutput();
    const double volts = out.volts + displayError_.volts(out.volts, out.amps);
    const double amps = out.amps + displayError_.amps(out.amps);
    return {num::RoundTo(std::max(volts, 0.0), 2), num::RoundTo(std::max(amps, 0.0), 3)};
}

} // namespace psucal::sim
