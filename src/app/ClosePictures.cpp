#include "app/ClosePictures.h"

#include "app/Pictures.h"

#include <QPainter>
#include <QPen>

namespace ql {

QPixmap drawClosePicture(const QColor& color, qreal devicePixelRatio)
{
    QPixmap picture = whiteCanvas(19, 19, devicePixelRatio);

    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);

    painter.setPen(QPen(color, 1.6));
    painter.drawEllipse(QPointF(9.5, 9.5), 8.2, 8.2);

    // The strokes are wide enough to cover the middle pixel fully, so the
    // centre always shows the pure state colour.
    painter.setPen(QPen(color, 2.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(6.0, 6.0), QPointF(13.0, 13.0));
    painter.drawLine(QPointF(13.0, 6.0), QPointF(6.0, 13.0));
    return picture;
}

} // namespace ql
