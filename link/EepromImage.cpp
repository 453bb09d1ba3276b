#include "link/EepromImage.h"

#include "core/Numbers.h"
#include "link/Nibble.h"

namespace psucal::image {

QString Row(const QString& image, int row)
{
    return image.mid(row * BlockLength, RowLength);
}

bool Complete(const QString& image)
{
    if (image.size() < Rows * BlockLength)
        return false;
    for (int row = 0; row < Rows; ++row)
        if (!nibble::IsNibbles(Row(image, row), RowLength))
            return false;
    return true;
}

QString SerialChars(const QString& cells)
{
    QString out;
    for (int cell = 0; cell < 4; ++cell) {
        const QString pair = cells.mid(2 * cell, 2);
        if (pair == QLatin1String("00"))
            continue;
        const int code = nibble::DecodeByte(pair).toInt();
        if (code >= 32 && code != 127)
            out += QChar(code);
    }
    return out;
}

QString RowLine(int row, const QString& cells)
{
    QString line = num::Digits(row, 3);
    for (int cell = 0; cell < 4; ++cell)
        line += u' ' + cells.mid(2 * cell, 2);
    return line;
}

} // namespace psucal::image
