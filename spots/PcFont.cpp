#include "spots/PcFont.h"

#include <QFontMetrics>

#include <cmath>

namespace psucal {

QFont PcFont(FontStyle style)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(13);
    f.setBold(style != FontStyle::Regular);
    f.setUnderline(style == FontStyle::BoldUnderline);
    return f;
}

int PcTextWidth(const QString& text, FontStyle style, int logicalDpi)
{
    const int px = QFontMetrics(PcFont(style)).horizontalAdvance(text);
    return static_cast<int>(std::lround(px * 1440.0 / logicalDpi));
}

int TwipsToPx(int twips, int logicalDpi)
{
    return static_cast<int>(std::lround(twips * logicalDpi / 1440.0));
}

int PxToTwips(int px, int logicalDpi)
{
    return static_cast<int>(std::lround(px * 1440.0 / logicalDpi));
}

QRect TwipsToPx(const QRect& twips, int logicalDpi)
{
    return QRect(TwipsToPx(twips.left(), logicalDpi), TwipsToPx(twips.top(), logicalDpi),
                 TwipsToPx(twips.width(), logicalDpi), TwipsToPx(twips.height(), logicalDpi));
}

} // namespace psucal
