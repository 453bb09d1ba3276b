#include "widgets/PcWidget.h"

#include "spots/PcFont.h"

#include <QFontMetrics>
#include <QPainter>

namespace psucal {

void PcWidget::setRuns(const QVector<TextRun>& runs)
{
    if (runs == runs_)
        return;
    runs_ = runs;
    update();
}

void PcWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    p.setPen(palette().text().color());
    const int dpi = logicalDpiX();
    for (const TextRun& r : runs_) {
        const QFont f = PcFont(r.style);
        p.setFont(f);
        // A run's y is the top of its line, not its baseline.
        p.drawText(TwipsToPx(r.x, dpi), TwipsToPx(r.y, dpi) + QFontMetrics(f).ascent(), r.text);
    }
}

} // namespace psucal
