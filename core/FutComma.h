#pragma once

#include <QString>

namespace psucal {

// A number typed or formatted with a decimal comma, made readable: the comma becomes a point.
// Only the last comma is replaced ("1,2,3" gives "1,2.3"); text without one comes back as is.
QString FutComma(const QString& text);

} // namespace psucal
