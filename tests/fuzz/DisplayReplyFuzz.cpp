#include "link/DisplayReading.h"
#include "tests/fuzz/Fuzz.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString reply = psucal::fuzz::Latin1(data, size);
    const auto reading = psucal::DisplayReading::Parse(reply);
    if (!reading)
        return 0;
    FUZZ_CHECK(reply.size() == 12 && reply.endsWith(QLatin1String("OK")));
    for (int i = 0; i < 8; ++i)
        FUZZ_CHECK(reply[i].isDigit() && reply[i].unicode() < 128);
    // The reading formats back to the digits it came from.
    const QString back = QStringLiteral("%1%2").arg(std::lround(reading->volts * 100), 4, 10, QChar(u'0'))
                             .arg(std::lround(reading->amps * 1000), 4, 10, QChar(u'0'));
    FUZZ_CHECK(back == reply.left(8));
    return 0;
}
