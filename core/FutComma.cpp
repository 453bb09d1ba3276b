#include "core/FutComma.h"

namespace psucal {

QString FutComma(const QString& text)
{
    const qsizetype at = text.lastIndexOf(u',');
    if (at < 0)
        return text;
    QString out = text;
    out[at] = u'.';
    return out;
}

} // namespace psucal
