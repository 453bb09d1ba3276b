#include "link/EepromShadow.h"
#include "link/EepromImage.h"
#include "tests/fuzz/Fuzz.h"

#include <algorithm>
#include <array>
#include <optional>

using namespace psucal;

// Runs the input as a sequence of shadow operations next to a plain model of what the unit may
// hold, and checks that a row read is taken exactly when it is one of the model's candidates.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString img = [] {
        QString text;
        for (int row = 0; row < image::Rows; ++row)
            text += QString::number(10000000 + row * 7).right(8) + u',';
        return text + QStringLiteral("OK\r");
    }();
    // Two cells to pick from keeps writes and reads colliding often.
    static const std::array<QString, 256> variants = [] {
        std::array<QString, 256> v;
        for (int b = 0; b < 256; ++b)
            v[b] = (b & 1) ? QStringLiteral("80808080") : QString::number(10000000 + (b >> 1) * 7).right(8);
        return v;
    }();
    EepromShadow shadow;

    struct Row {
        QString cells;
        std::optional<QString> maybe;
    };
    std::array<Row, image::Rows> model;
    bool known = false;

    // Longer histories add nothing a shorter one cannot reach, only time.
    size = std::min<size_t>(size, 3 * 64);
    for (size_t i = 0; i + 3 <= size; i += 3) {
        const int op = data[i] % 6;
        const int row = data[i + 1] % (image::Rows + 4) - 2; // a few out-of-range rows too
        const QString& cells = variants[data[i + 2]];
        const bool inRange = known && row >= 0 && row < image::Rows;
        switch (op) {
        case 0:
            shadow.load(img);
            for (int r = 0; r < image::Rows; ++r)
                model[r] = {image::Row(img, r), std::nullopt};
            known = true;
            break;
        case 1:
            shadow.written(row, cells);
            if (inRange)
                model[row] = {cells, std::nullopt};
            break;
        case 2:
            shadow.unconfirmed(row, cells);
            if (inRange && cells != model[row].cells)
                model[row].maybe = cells;
            break;
        case 3: {
            const bool agreed = !inRange || cells == model[row].cells || model[row].maybe == cells;
            FUZZ_CHECK(shadow.agrees(row, cells) == agreed);
            shadow.settle(row, cells);
            if (inRange && agreed)
                model[row] = {cells, std::nullopt};
            break;
        }
        case 4:
            FUZZ_CHECK(shadow.expected(row).isEmpty() == !inRange);
            break;
        default:
            if (data[i + 2] == 0) {
                shadow.forget();
                known = false;
            } else {
                // An incomplete image never replaces what is known.
                shadow.load(img.left(data[i + 2] * 5));
            }
        }
        FUZZ_CHECK(shadow.known() == known);
    }
    return 0;
}
