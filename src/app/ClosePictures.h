#pragma once

#include <QColor>
#include <QPixmap>

namespace ql {

// The 19 by 19 close picture: a circle with a cross on a white ground, in the
// given colour (black for the normal state), at the given device pixel ratio.
QPixmap drawClosePicture(const QColor& color, qreal devicePixelRatio = 1.0);

} // namespace ql
