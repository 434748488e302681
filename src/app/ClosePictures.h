#pragma once

#include <QColor>
#include <QPixmap>

namespace ql {

// The 19 by 19 close picture: a circle with a cross on a white ground, in the
// given colour (black for the normal state).
QPixmap drawClosePicture(const QColor& color);

} // namespace ql
