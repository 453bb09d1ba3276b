#include "report/PainterCanvas.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageLayout>

namespace psucal {

namespace {

constexpr double MmPerInch = 25.4;
constexpr const char* FontFolder = "/usr/share/fonts/truetype/dejavu/";

// Line weights in millimetres: hairlines for the grids, a firm frame, a heavy outline.
double WeightMm(int weight)
{
    return weight <= 1 ? 0.15 : weight == 2 ? 0.3 : 0.5;
}

} // namespace

PainterCanvas::PainterCanvas(QPagedPaintDevice& device, Letters letters)
    : device_(device), pageMm_(device.pageLayout().fullRect(QPageLayout::Millimeter).size()),
      dotsPerMm_(device.logicalDpiX() / MmPerInch), letters_(letters)
{
    painter_.begin(&device_);
    painter_.setRenderHint(QPainter::Antialiasing);
}

QString PainterCanvas::FontFamily()
{
    static const QString family = [] {
        QString name = QStringLiteral("DejaVu Sans");
        for (const char* file : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf"}) {
            const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(FontFolder) + QLatin1String(file));
            if (id >= 0 && !QFontDatabase::applicationFontFamilies(id).isEmpty())
                name = QFontDatabase::applicationFontFamilies(id).first();
        }
        return name;
    }();
    return family;
}

QFont PainterCanvas::font(const TextStyle& style) const
{
    QFont f(FontFamily());
    f.setPointSizeF(style.points);
    f.setBold(style.bold);
    // Unhinted metrics keep widths the same on every resolution.
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(false);
    // Unshaped text has no ligatures: "fi" stays two letters when the PDF is searched or read back.
    if (letters_ == Letters::Separate)
        f.setStyleStrategy(QFont::PreferNoShaping);
    return f;
}

QPen PainterCanvas::pen(const Stroke& stroke) const
{
    QPen p(stroke.color, WeightMm(stroke.weight) * dotsPerMm_, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    if (stroke.dashed)
        p.setDashPattern({4.0, 2.5});
    return p;
}

double PainterCanvas::textWidth(const QString& text, const TextStyle& style) const
{
    return QFontMetricsF(font(style), &device_).horizontalAdvance(text) / dotsPerMm_;
}

double PainterCanvas::textHeight(const TextStyle& style) const
{
    return QFontMetricsF(font(style), &device_).height() / dotsPerMm_;
}

void PainterCanvas::text(double x, double y, const QString& text, const TextStyle& style)
{
    const QFont f = font(style);
    painter_.setFont(f);
    painter_.setPen(Qt::black);
    const double ascent = QFontMetricsF(f, &device_).ascent();
    painter_.drawText(QPointF(x * dotsPerMm_, y * dotsPerMm_ + ascent), text);
}

void PainterCanvas::line(const QLineF& line, const Stroke& stroke)
{
    painter_.setPen(pen(stroke));
    painter_.drawLine(QLineF(line.p1() * dotsPerMm_, line.p2() * dotsPerMm_));
}

void PainterCanvas::rect(const QRectF& rect, const Stroke& stroke)
{
    painter_.setPen(pen(stroke));
    painter_.setBrush(Qt::NoBrush);
    painter_.drawRect(QRectF(rect.topLeft() * dotsPerMm_, rect.size() * dotsPerMm_));
}

bool PainterCanvas::newPage()
{
    return device_.newPage();
}

bool PainterCanvas::finish()
{
    return painter_.isActive() && painter_.end();
}

} // namespace psucal
