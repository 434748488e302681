#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>

#include <functional>

class QPainter;
class QWidget;

namespace ql {

// The window's pictures, all drawn here so that the program carries no image files.
// Sizes are in logical pixels; each picture is drawn at the device pixel ratio
// given, so that it stays sharp on a scaled screen.

// A white canvas of the logical size, with as many device pixels as the ratio asks.
QPixmap whiteCanvas(int width, int height, qreal devicePixelRatio);

// 19 by 19 command buttons on a white ground.
QPixmap drawStartPicture(qreal devicePixelRatio = 1.0);
QPixmap drawStopPicture(qreal devicePixelRatio = 1.0);
QPixmap drawHelpPicture(qreal devicePixelRatio = 1.0);

// 55 by 19 buttons that switch the list area to the records or the events.
QPixmap drawRecordsViewPicture(qreal devicePixelRatio = 1.0);
QPixmap drawEventsViewPicture(qreal devicePixelRatio = 1.0);

// 137 by 91 illustration of the hand-held computer.
QPixmap drawDevicePicture(qreal devicePixelRatio = 1.0);

// The pointing hand shown over clickable pictures, 32 by 32, hot spot (12, 1);
// the hot spot is scaled with the picture where the window system asks for that.
QCursor handCursor(qreal devicePixelRatio = 1.0, bool hotSpotInDevicePixels = false);
inline constexpr int kHandHotSpotX = 12;
inline constexpr int kHandHotSpotY = 1;

// The program icon at every size a desktop commonly asks for.
QIcon programIcon();

// Paints the program icon into the square (0, 0, sidePx, sidePx); the icon files
// installed for the desktop are rendered from this same drawing.
void drawProgramIcon(QPainter& painter, double sidePx);

// Calls `redraw` whenever the device pixel ratio of the window's screen may have
// changed: the window moved to another screen, or its screen was rescaled. The
// window must have its platform window.
void followDevicePixelRatio(QWidget& window, std::function<void()> redraw);

} // namespace ql
