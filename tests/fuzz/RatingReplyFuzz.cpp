#include "link/GmaxReply.h"
#include "tests/fuzz/Fuzz.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString reply = psucal::fuzz::Latin1(data, size);
    const auto rating = psucal::GmaxReply::Parse(reply);
    if (!rating)
        return 0;
    FUZZ_CHECK(reply.size() == 9 && reply.endsWith(QLatin1String("OK")));
    FUZZ_CHECK(std::isfinite(rating->volts) && rating->volts >= 0 && rating->volts <= 99.9);
    FUZZ_CHECK(std::isfinite(rating->amps) && rating->amps >= 0 && rating->amps <= 9.99);
    const QString back = QStringLiteral("%1%2").arg(std::lround(rating->volts * 10), 3, 10, QChar(u'0'))
                             .arg(std::lround(rating->amps * 100), 3, 10, QChar(u'0'));
    FUZZ_CHECK(back == reply.left(6));
    return 0;
}
