#pragma once

class QWidget;

namespace psucal {

// Moves a widget to a rectangle given in twips, at the widget's own resolution.
void PlaceTwips(QWidget* w, int left, int top, int width, int height);

} // namespace psucal
