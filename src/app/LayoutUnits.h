#pragma once

#include <QRect>
#include <QtGlobal>

namespace ql {

// The windows are laid out in twips, 15 to a logical pixel.
inline constexpr int kTwipsPerPixel = 15;

inline int pixels(int twips)
{
    return qRound(static_cast<double>(twips) / kTwipsPerPixel);
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return {pixels(left), pixels(top), pixels(width), pixels(height)};
}

} // namespace ql
