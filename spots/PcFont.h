#pragma once

#include "core/BenchUi.h"

#include <QFont>
#include <QRect>


namespace psucal {

// The message area's font in its three states; both faces measure text with it, so that a
// page is laid out the same in the window and in the terminal.
QFont PcFont(FontStyle style);
// Printed width in twips at the screen's logical resolution (15 twips a pixel at 96 DPI).
int PcTextWidth(const QString& text, FontStyle style, int logicalDpi = 96);
// Twips to pixels, and back, at a logical resolution.
int TwipsToPx(int twips, int logicalDpi = 96);
int PxToTwips(int px, int logicalDpi = 96);
QRect TwipsToPx(const QRect& twips, int logicalDpi = 96);
} // namespace psucal
