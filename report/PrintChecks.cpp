#include "report/PrintChecks.h"

namespace psucal {

std::optional<PrintChecks::Refusal> PrintChecks::Check(int runMode, const QString& clientModel, const QString& serialNo)
{
    // Blanks alone would print an empty "Model No.:" on the certificate.
    if (clientModel.trimmed().isEmpty())
        return Refusal{QStringLiteral("Please enter Client Model !"), Focus::ClientModelBox};
    if ((runMode == 1 || runMode == 2) && serialNo.isEmpty())
        return Refusal{QStringLiteral("S/N = ?"), runMode == 1 ? Focus::SerialNoBox : Focus::None};
    return std::nullopt;
}

} // namespace psucal
