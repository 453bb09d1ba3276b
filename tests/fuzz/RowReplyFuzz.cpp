#include "link/EepromImage.h"
#include "link/Nibble.h"
#include "tests/fuzz/Fuzz.h"

using namespace psucal;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString reply = fuzz::Latin1(data, size);
    if (!nibble::IsNibbles(reply, image::RowLength)) {
        // Only a whole row in the alphabet counts as one.
        bool alphabet = reply.size() == image::RowLength;
        for (QChar c : reply)
            alphabet = alphabet && c >= u'0' && c <= u'?';
        FUZZ_CHECK(!alphabet);
        return 0;
    }
    // Every cell decodes to a byte that encodes back to the same two characters.
    QString back;
    for (int cell = 0; cell < 4; ++cell) {
        const QString pair = reply.mid(2 * cell, 2);
        bool ok = false;
        int value = nibble::DecodeByte(pair).toInt(&ok);
        FUZZ_CHECK(ok && value >= 0 && value <= 255);
        back += nibble::EncodeByte(value);
        // A correction cell decodes into range and encodes back to itself; "80", a negative
        // zero, comes back as "00".
        const double volts = nibble::DecodeSigned(pair, 100);
        FUZZ_CHECK(volts >= -1.27 && volts <= 1.27);
        FUZZ_CHECK(nibble::EncodeSigned(volts, 100) == (pair == QLatin1String("80") ? QStringLiteral("00") : pair));
    }
    FUZZ_CHECK(back == reply);
    // A row line lists the same cells, and a serial row yields only printable characters.
    FUZZ_CHECK(image::RowLine(42, reply).remove(u' ') == QLatin1String("042") + reply);
    for (QChar c : image::SerialChars(reply))
        FUZZ_CHECK(c.unicode() >= 32 && c.unicode() != 127);
    return 0;
}
