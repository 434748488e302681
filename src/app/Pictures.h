#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>

class QPainter;

namespace ql {

// The window's pictures, all drawn here so that the program carries no image files.

// 19 by 19 command buttons on a white ground.
QPixmap drawStartPicture();
QPixmap drawStopPicture();
QPixmap drawHelpPicture();

// 55 by 19 buttons that switch the list area to the records or the events.
QPixmap drawRecordsViewPicture();
QPixmap drawEventsViewPicture();

// 137 by 91 illustration of the hand-held computer.
QPixmap drawDevicePicture();

// The pointing hand shown over clickable pictures, 32 by 32, hot spot (12, 1).
QCursor handCursor();
inline constexpr int kHandHotSpotX = 12;
inline constexpr int kHandHotSpotY = 1;

// The program icon at 16, 32 and 48 pixels.
QIcon programIcon();

// Paints the program icon into the square (0, 0, sidePx, sidePx); the icon files
// installed for the desktop are rendered from this same drawing.
void drawProgramIcon(QPainter& painter, double sidePx);

} // namespace ql
