#include "app/Pictures.h"

#include "app/Fonts.h"

#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <memory>

namespace ql {

namespace {

constexpr int kButtonSide = 19;
const QColor kKeyGrey(224, 224, 224);

// A button picture: the black ring that every command button shares (the close
// button's too), with its
// symbol drawn by `symbol` in black.
template <typename Symbol>
QPixmap ringButton(qreal ratio, Symbol symbol)
{
    QPixmap pixmap = whiteCanvas(kButtonSide, kButtonSide, ratio);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.6));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(9.5, 9.5), 8.2, 8.2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    symbol(painter);
    return pixmap;
}

QPixmap viewButton(const QString& caption, qreal ratio)
{
    QPixmap pixmap = whiteCanvas(55, kButtonSide, ratio);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.0));
    painter.setBrush(kKeyGrey);
    painter.drawRoundedRect(QRectF(0.5, 0.5, 54.0, 18.0), 4.0, 4.0);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setFont(sansSerifFont());
    painter.drawText(QRect(0, 0, 55, kButtonSide), Qt::AlignCenter, caption);
    return pixmap;
}

QPixmap transparentCanvas(int width, int height, qreal ratio)
{
    QPixmap pixmap(qRound(width * ratio), qRound(height * ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

} // namespace

QPixmap whiteCanvas(int width, int height, qreal devicePixelRatio)
{
    QPixmap pixmap = transparentCanvas(width, height, devicePixelRatio);
    pixmap.fill(Qt::white);
    return pixmap;
}

QPixmap drawStartPicture(qreal devicePixelRatio)
{
    return ringButton(devicePixelRatio, [](QPainter& painter) {
        const QPointF triangle[] = {{7.0, 5.5}, {7.0, 13.5}, {14.0, 9.5}};
        painter.drawPolygon(triangle, 3);
    });
}

QPixmap drawStopPicture(qreal devicePixelRatio)
{
    return ringButton(devicePixelRatio, [](QPainter& painter) { painter.drawRect(QRectF(6.0, 6.0, 7.0, 7.0)); });
}

QPixmap drawHelpPicture(qreal devicePixelRatio)
{
    return ringButton(devicePixelRatio, [](QPainter& painter) {
        QFont font = sansSerifFont(true);
        font.setPixelSize(13);
        painter.setPen(Qt::black);
        painter.setFont(font);
        painter.drawText(QRectF(0.0, 0.5, 19.0, 19.0), Qt::AlignCenter, QStringLiteral("?"));
    });
}

QPixmap drawRecordsViewPicture(qreal devicePixelRatio)
{
    return viewButton(QStringLiteral("Records"), devicePixelRatio);
}

QPixmap drawEventsViewPicture(qreal devicePixelRatio)
{
    return viewButton(QStringLiteral("Events"), devicePixelRatio);
}

QPixmap drawDevicePicture(qreal devicePixelRatio)
{
    QPixmap pixmap = whiteCanvas(137, 91, devicePixelRatio);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    // The serial cable, leaving the device's left end for the PC.
    QPainterPath cable;
    cable.moveTo(0.0, 70.0);
    cable.cubicTo(10.0, 70.0, 6.0, 46.0, 20.0, 46.0);
    painter.setPen(QPen(QColor(60, 60, 60), 3.0, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(cable);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(90, 90, 90));
    painter.drawRect(QRectF(16.0, 41.0, 7.0, 10.0));

    // Body with a darker grip band.
    painter.setPen(QPen(Qt::black, 1.0));
    painter.setBrush(QColor(70, 78, 92));
    painter.drawRoundedRect(QRectF(21.5, 3.5, 112.0, 84.0), 10.0, 10.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(52, 58, 70));
    painter.drawRoundedRect(QRectF(25.0, 74.0, 105.0, 10.0), 4.0, 4.0);

    // Screen with a few lines of records on it.
    painter.setPen(QPen(Qt::black, 1.0));
    painter.setBrush(QColor(180, 200, 150));
    painter.drawRect(QRectF(29.5, 11.5, 52.0, 40.0));
    painter.setPen(QPen(QColor(40, 60, 30), 2.0));
    const double lineLengths[] = {38.0, 30.0, 42.0, 24.0, 34.0};
    double y = 17.0;
    for (const double length : lineLengths) {
        painter.drawLine(QPointF(34.0, y), QPointF(34.0 + length, y));
        y += 7.0;
    }

    // Keypad: four rows of three keys, and the two arrow keys above them.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 1.0));
    painter.setBrush(kKeyGrey);
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 3; ++column)
            painter.drawRect(QRect(91 + column * 13, 27 + row * 11, 10, 8));
    painter.setBrush(QColor(200, 80, 60));
    painter.drawRect(QRect(91, 12, 16, 9));
    painter.setBrush(QColor(80, 160, 90));
    painter.drawRect(QRect(110, 12, 16, 9));

    // Keys under the screen.
    painter.setBrush(kKeyGrey);
    for (int column = 0; column < 4; ++column)
        painter.drawRect(QRect(30 + column * 13, 58, 10, 8));
    return pixmap;
}

QCursor handCursor(qreal devicePixelRatio, bool hotSpotInDevicePixels)
{
    QPixmap pixmap = transparentCanvas(32, 32, devicePixelRatio);
    QPainter painter(&pixmap);

    QPainterPath hand;
    hand.addRoundedRect(QRectF(10.0, 0.0, 5.0, 16.0), 2.5, 2.5);  // pointing finger
    hand.addRoundedRect(QRectF(14.0, 7.0, 5.0, 10.0), 2.0, 2.0);  // folded fingers
    hand.addRoundedRect(QRectF(18.0, 8.0, 5.0, 10.0), 2.0, 2.0);
    hand.addRoundedRect(QRectF(22.0, 9.0, 5.0, 10.0), 2.0, 2.0);
    hand.addRoundedRect(QRectF(4.0, 13.0, 9.0, 5.0), 2.5, 2.5);   // thumb
    hand.addRoundedRect(QRectF(9.0, 12.0, 18.0, 13.0), 4.0, 4.0); // palm
    hand.addRect(QRectF(12.0, 23.0, 13.0, 6.0));                 // wrist
    hand = hand.simplified();

    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.0));
    painter.setBrush(Qt::white);
    painter.drawPath(hand.translated(0.5, 0.5));
    painter.drawLine(QPointF(18.5, 12.0), QPointF(18.5, 17.0));
    painter.drawLine(QPointF(22.5, 13.0), QPointF(22.5, 18.0));
    painter.drawLine(QPointF(12.0, 25.5), QPointF(25.0, 25.5));
    painter.end();
    const qreal hotSpotScale = hotSpotInDevicePixels ? devicePixelRatio : 1.0;
    return QCursor(pixmap, qRound(kHandHotSpotX * hotSpotScale), qRound(kHandHotSpotY * hotSpotScale));
}

void drawProgramIcon(QPainter& painter, double sidePx)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(sidePx / 48.0, sidePx / 48.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(32, 84, 150));
    painter.drawRoundedRect(QRectF(1.0, 1.0, 46.0, 46.0), 9.0, 9.0);

    // Two arrows, one each way: records go to the device and come back.
    painter.setBrush(Qt::white);
    const QPointF right[] = {{8, 14}, {28, 14}, {28, 7}, {41, 18}, {28, 29}, {28, 22}, {8, 22}};
    const QPointF left[] = {{40, 29}, {20, 29}, {20, 22}, {7, 33}, {20, 44}, {20, 37}, {40, 37}};
    painter.drawPolygon(right, 7);
    painter.setBrush(QColor(255, 200, 60));
    painter.drawPolygon(left, 7);
    painter.restore();
}

QIcon programIcon()
{
    QIcon icon;
    for (const int side : {16, 24, 32, 48, 64, 96, 128, 256}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        drawProgramIcon(painter, side);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void followDevicePixelRatio(QWidget& window, std::function<void()> redraw)
{
    QWindow* platformWindow = window.windowHandle();
    if (!platformWindow)
        return;
    // One connection to the current screen's scale, renewed when the screen changes.
    auto scaleChange = std::make_shared<QMetaObject::Connection>();
    const auto watchScreen = [&window, redraw, scaleChange](QScreen* screen) {
        QObject::disconnect(*scaleChange);
        if (screen)
            *scaleChange = QObject::connect(screen, &QScreen::logicalDotsPerInchChanged, &window, redraw);
        redraw();
    };
    QObject::connect(platformWindow, &QWindow::screenChanged, &window, watchScreen);
    watchScreen(platformWindow->screen());
}

} // namespace ql
