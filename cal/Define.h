#pragma once

#include <QString>

#include <functional>

namespace psucal {

class BenchUi;
class SupplyLink;
struct BenchState;

// Define: a blank or reset board gets its serial number (rows 156..159) and the factory base
// data of the model selected in CmbModel (rows 0..7, row 6 excepted). Every row must be
// confirmed with "OK"; a serial number that does not read back as written fails the step.
class Define {
public:
    Define(BenchState& state, BenchUi& ui, SupplyLink& link);

    // Called before the first row is written; false: write nothing.
    void setBackupGuard(std::function<bool()> guard) { guard_ = std::move(guard); }
    // IdentifySupply of the wizard, run with selector 2 once the base data is in.
    void setIdentify(std::function<void(int)> identify) { identify_ = std::move(identify); }

    // The Define page's procedure: AbortFlag and FailText cleared, the serial number, then the base data
    // when AbortFlag is still clear. A failure leaves AbortFlag raised and FailText
    // "Define failed !", and shows the one message box the page gets (the reason under it).
    // A Stop (AbortFlag raised from outside) ends it without a message. True on success.
    bool Run();

    // SerialNoEdit, trimmed, into rows 156..159, then SerialNo read back from the supply.
    void WriteSerialNumber();
    void WriteBaseData();

    // Why the last step failed, for the operator; empty when it did not.
    const QString& reason() const { return reason_; }

private:
    void fail(const QString& reason);
    bool writeRow(int row, const QString& cells, int attempts, double timeout);
    bool guardAllows();

    BenchState& st_;
    BenchUi& ui_;
    SupplyLink& link_;
    std::function<bool()> guard_;
    std::function<void(int)> identify_;
    QString reason_;
};

} // namespace psucal
