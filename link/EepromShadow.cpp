#include "link/EepromShadow.h"

#include "link/EepromImage.h"

namespace psucal {

namespace {
QString Spaced(const QString& cells)
{
    return image::RowLine(0, cells).mid(4);
}
} // namespace

void EepromShadow::forget()
{
    rows_ = {};
    known_ = false;
}

void EepromShadow::load(const QString& img)
{
    if (!image::Complete(img))
        return;
    for (int row = 0; row < image::Rows; ++row)
        rows_[row] = {image::Row(img, row), std::nullopt};
    known_ = true;
}

bool EepromShadow::valid(int row) const
{
    return known_ && row >= 0 && row < image::Rows;
}

bool EepromShadow::agrees(int row, const QString& cells) const
{
    if (!valid(row))
        return true;
    const Row& r = rows_[row];
    return cells == r.cells || (r.maybe && cells == *r.maybe);
}

QString EepromShadow::expected(int row) const
{
    if (!valid(row))
        return QString();
    const Row& r = rows_[row];
    QString text = Spaced(r.cells);
    if (r.maybe)
        text += QStringLiteral(" or ") + Spaced(*r.maybe);
    return text;
}

void EepromShadow::written(int row, const QString& cells)
{
    if (valid(row))
        rows_[row] = {cells, std::nullopt};
}

void EepromShadow::unconfirmed(int row, const QString& cells)
{
    if (valid(row) && cells != rows_[row].cells)
        rows_[row].maybe = cells;
}

void EepromShadow::settle(int row, const QString& cells)
{
    if (valid(row) && agrees(row, cells))
        rows_[row] = {cells, std::nullopt};
}

} // namespace psucal
