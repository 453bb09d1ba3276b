#include "eeprom/ImageRows.h"
#include "link/EepromImage.h"
#include "link/Nibble.h"
#include "tests/fuzz/Fuzz.h"

using namespace psucal;

// Short inputs become the rows of a near-complete image so the fuzzer reaches the row checks;
// long ones are taken as the reply itself.
static QString Reply(const QString& in)
{
    if (in.size() >= image::Minimum)
        return in;
    QString img;
    for (int row = 0; row < image::Rows; ++row)
        img += QStringLiteral("80808080") + u',';
    img += QStringLiteral("OK\r");
    for (int i = 0; i + 2 < in.size(); i += 3) {
        const int at = (in[i].unicode() | in[i + 1].unicode() << 8) % img.size();
        img[at] = in[i + 2];
    }
    return img;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString reply = Reply(fuzz::Latin1(data, size));
    const bool complete = image::Complete(reply);
    const auto rows = eeprom::SplitImage(reply);
    FUZZ_CHECK(!rows || complete);
    if (!complete)
        return 0;
    for (int row = 0; row < image::Rows; ++row)
        FUZZ_CHECK(nibble::IsNibbles(image::Row(reply, row), image::RowLength));
    if (!rows)
        return 0;
    FUZZ_CHECK(reply.size() >= image::Length && reply.mid(1440, 2) == QLatin1String("OK"));
    // The rows put back into their blocks give the reply's row characters again.
    for (int row = 0; row < image::Rows; ++row)
        FUZZ_CHECK((*rows)[row] == reply.mid(row * image::BlockLength, image::RowLength));
    for (QChar c : eeprom::SerialOf(*rows))
        FUZZ_CHECK(c.unicode() >= 32 && c.unicode() != 127);
    return 0;
}
