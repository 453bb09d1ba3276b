#pragma once

#include "sim/Answer.h"
#include "sim/DisplayError.h"
#include "sim/Eeprom.h"
#include "sim/FaultPlan.h"
#include "sim/PointScale.h"
#include "sim/SupplyConfig.h"
#include "sim/UnitErrors.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace psucal {
struct Rating;
}

namespace psucal::sim {

// The supply's firmware as the link sees it: frames in, answers out. No I/O and no clock;
// a host feeds it the bytes that reached the unit and carries out the answers' timing.
class SupplyModel {
public:
    explicit SupplyModel(const SupplyConfig& config = {});

    // Buffers the bytes and answers every frame they complete, one Answer per frame (an
    // empty one where the unit stays silent).
    QList<Answer> receive(const QByteArray& bytes);

    const SupplyConfig& config() const { return config_; }
    const Rating* rating() const { return rating_; } // nullptr for a unit without a valid rating

    QString row(int r) const { return eeprom_.row(r); }
    bool setRow(int r, const QString& text) { return eeprom_.setRow(r, text); }
    QByteArray image() const { return eeprom_.image(); }
    Eeprom& eeprom() { return eeprom_; }
    const Eeprom& eeprom() const { return eeprom_; }

    // Every frame received, without its carriage return (lost ones included).
    const QStringList& frames() const { return frames_; }
    FaultPlan& faults() { return faults_; }

    double voltageSet() const { return voltageSet_; }
    double currentSet() const { return currentSet_; }
    int outputState() const { return output_; } // last "SOUT" value; -1 before any

    Terminals terminals() const { return config_.terminals; }
    void setTerminals(Terminals t);
    bool shorted() const { return shorted_; }

    struct Output {
        double volts = 0;
        double amps = 0;
    };
    // What a meter on the terminals would see.
    Output trueOutput() const;
    // What the unit's own display shows (0.01 V and 0.001 A resolution), its own error included.
    Output display() const;
    const DisplayError& displayError() const { return displayError_; }

private:
    QByteArray answer(const QByteArray& command, const QByteArray& data);
    QByteArray setPoint(const QByteArray& data, double unit, double& target);
    QByteArray gmax() const;
    QByteArray getd() const;
    QByteArray geep(const QByteArray& data) const;
    QByteArray seep(const QByteArray& data);
    void fill();

    SupplyConfig config_;
    const Rating* rating_;
    PointScale voltagePoints_;
    PointScale currentPoints_;
    DisplayError displayError_;
    UnitErrors errors_;
    Eeprom eeprom_;
    FaultPlan faults_;
    QByteArray pending_;
    QStringList frames_;
    double voltageSet_ = 0;
    double currentSet_ = 0;
    int output_ = -1;
    bool shorted_ = false;
};

} // namespace psucal::sim
