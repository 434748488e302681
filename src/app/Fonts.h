#pragma once

#include <QFont>

namespace ql {

// The window's sizes, fixed in pixels so that every display and the offscreen
// platform lay the text out alike (8.25 pt and 9.75 pt at 96 dots per inch).
inline constexpr int kSmallFontPx = 11;
inline constexpr int kTitleFontPx = 13;

// Maps the window's Windows font names onto metric-compatible families that a
// Linux desktop has, with fallbacks. Safe to call more than once.
void installFontSubstitutions();

// "MS Sans Serif" 8.25 pt.
QFont sansSerifFont(bool bold = false);

// "Courier New" at the given pixel size.
QFont courierFont(int pixelSize, bool bold = false);

} // namespace ql
