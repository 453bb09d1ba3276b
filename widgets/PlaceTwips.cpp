#include "widgets/PlaceTwips.h"

#include "spots/PcFont.h"

#include <QWidget>

namespace psucal {

void PlaceTwips(QWidget* w, int left, int top, int width, int height)
{
    w->setGeometry(TwipsToPx(QRect(left, top, width, height), w->logicalDpiX()));
}

} // namespace psucal
