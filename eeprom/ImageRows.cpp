#include "eeprom/ImageRows.h"

#include "link/Nibble.h"

namespace psucal::eeprom {

namespace {
constexpr int OkAt = Rows * BlockLength; // zero-based start of "OK"
constexpr int FirstProtected = 8;
constexpr int LastProtected = 57;
} // namespace

std::optional<ImageRowList> SplitImage(const QString& reply)
{
    if (reply.size() < OkAt + 3 || reply.mid(OkAt, 2) != QLatin1String("OK"))
        return std::nullopt;
    ImageRowList rows;
    for (int r = 0; r < Rows; ++r) {
        rows[r] = reply.mid(r * BlockLength, 8);
        if (!nibble::IsNibbles(rows[r], 8))
            return std::nullopt;
    }
    return rows;
}

QString WireCell(const QString& text)
{
    const QString cell = text.size() == 1 ? u'0' + text : text;
    return nibble::IsNibbles(cell, 2) ? cell : QString();
}

std::optional<int> ParseRow(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 3)
        return std::nullopt;
    for (QChar c : t)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    const int row = t.toInt();
    return row < Rows ? std::optional<int>(row) : std::nullopt;
}

QString RowText(int row)
{
    return QString::number(row).rightJustified(3, u'0');
}

bool Writable(int row)
{
    return row >= 0 && row < Rows && (row < FirstProtected || row > LastProtected);
}

QString SerialOf(const ImageRowList& rows)
{
    QString serial;
    for (int r = SerialRow; r < Rows; ++r) {
        for (int cell = 0; cell < 4; ++cell) {
            const QString pair = rows[r].mid(2 * cell, 2);
            if (pair == QLatin1String("00"))
                continue;
            const int code = nibble::DecodeByte(pair).toInt();
            if (code >= 32 && code != 127)
                serial += QChar(code);
        }
    }
    return serial;
}

} // namespace psucal::eeprom
