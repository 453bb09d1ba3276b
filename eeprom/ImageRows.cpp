#include "eeprom/ImageRows.h"

#include "core/Numbers.h"
#include "link/Nibble.h"

namespace psucal::eeprom {

namespace {
constexpr int OkAt = Rows * image::BlockLength; // zero-based start of "OK"
constexpr int FirstProtected = 8;
constexpr int LastProtected = 57;
} // namespace

std::optional<ImageRowList> SplitImage(const QString& reply)
{
    if (reply.size() < image::Length || reply.mid(OkAt, 2) != QLatin1String("OK") || !image::Complete(reply))
        return std::nullopt;
    ImageRowList rows;
    for (int r = 0; r < Rows; ++r)
        rows[r] = image::Row(reply, r);
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
    return num::Digits(row, 3);
}

bool Writable(int row)
{
    return row >= 0 && row < Rows && (row < FirstProtected || row > LastProtected);
}

QString SerialOf(const ImageRowList& rows)
{
    QString serial;
    for (int r = image::SerialRow; r < Rows; ++r)
        serial += image::SerialChars(rows[r]);
    return serial;
}

} // namespace psucal::eeprom
