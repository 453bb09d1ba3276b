#pragma once

#include <QString>

#include <optional>

namespace psucal {

// What must hold before a report is printed, apart from any window.
class PrintChecks {
public:
    enum class Focus { None, ClientModelBox, SerialNoBox };
    struct Refusal {
        QString message;
        Focus focus; // the box the operator is sent to
    };

    // A refusal when the report cannot be printed yet: the client model is always needed, the
    // serial number in run modes 1 and 2.
    static std::optional<Refusal> Check(int runMode, const QString& clientModel, const QString& serialNo);
};

} // namespace psucal
