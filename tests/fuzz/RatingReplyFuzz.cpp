#include "link/GmaxReply.h"
#include "tests/fuzz/Fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString reply = psucal::fuzz::Latin1(data, size);
    const auto rating = psucal::GmaxReply::Parse(reply);
    if (!rating)
        return 0;
    FUZZ_CHECK(reply.size() == 9 && reply.endsWith(QLatin1String("OK")));
    FUZZ_CHECK(rating->volts10 >= 0 && rating->volts10 <= 999);
    FUZZ_CHECK(rating->amps100 >= 0 && rating->amps100 <= 999);
    const QString back = QStringLiteral("%1%2").arg(rating->volts10, 3, 10, QChar(u'0'))
                             .arg(rating->amps100, 3, 10, QChar(u'0'));
    FUZZ_CHECK(back == reply.left(6));
    return 0;
}
