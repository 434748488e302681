#include "app/WindowControls.h"

#include <QApplication>
#include <QChildEvent>
#include <QMouseEvent>
#include <QPainter>

namespace ql {

namespace {

void fillGround(QWidget& widget, const QColor& ground)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, ground);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

// Lies over the held controls without taking their clicks.
class BorderLine final : public QWidget {
public:
    explicit BorderLine(QWidget* box) : QWidget(box)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(box->rect());
        // The box clips the frame of the control it holds, and with it the focus
        // the control would show; the line shows it instead.
        connect(qApp, &QApplication::focusChanged, this, [this] { update(); });
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QWidget* focus = QApplication::focusWidget();
        if (focus && parentWidget()->isAncestorOf(focus)) {
            const QRect inside = rect().adjusted(0, 0, -1, -1);
            painter.setPen(palette().color(QPalette::Active, QPalette::Highlight));
            painter.drawRect(inside);
            painter.drawRect(inside.adjusted(1, 1, -1, -1));
            return;
        }
        painter.setPen(palette().color(QPalette::Active, QPalette::WindowText));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

} // namespace

void LeftClick::press(const QMouseEvent& event)
{
    // The second press of a double click is no new click unless the control takes
    // it as one: on the Start/Abort spot it would begin a run just aborted.
    if (event.button() == Qt::LeftButton && (m_secondPressClicks || event.type() != QEvent::MouseButtonDblClick))
        m_pressed = true;
}

bool LeftClick::release(const QWidget& widget, const QMouseEvent& event)
{
    if (event.button() != Qt::LeftButton)
        return false;
    const bool click = m_pressed && widget.rect().contains(event.position().toPoint());
    m_pressed = false;
    return click;
}

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent) {}

void ClickLabel::mousePressEvent(QMouseEvent* event)
{
    m_click.press(*event);
    event->accept();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (m_click.release(*this, *event))
        emit clicked();
}

PictureBox::PictureBox(QWidget* parent, const QColor& ground) : QWidget(parent)
{
    fillGround(*this, ground);
}

void PictureBox::setPicture(const QPixmap& picture)
{
    m_picture = picture;
    update();
}

void PictureBox::showBorderLine()
{
    if (m_borderLine)
        return;
    m_borderLine = new BorderLine(this);
    m_borderLine->raise();
}

void PictureBox::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_borderLine)
        m_borderLine->setGeometry(rect());
}

void PictureBox::childEvent(QChildEvent* event)
{
    QWidget::childEvent(event);
    if (m_borderLine && event->added() && event->child() != m_borderLine)
        m_borderLine->raise();
}

void PictureBox::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

void PictureBox::mousePressEvent(QMouseEvent* event)
{
    m_click.press(*event);
    event->accept();
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (m_click.release(*this, *event))
        emit clicked();
}

ListOpeningComboBox::ListOpeningComboBox(QWidget* parent) : QComboBox(parent) {}

void ListOpeningComboBox::showPopup()
{
    emit listOpening();
    QComboBox::showPopup();
}

FlatFrame::FlatFrame(const QString& caption, QWidget* parent) : QWidget(parent), m_caption(caption)
{
    fillGround(*this, Qt::white);
}

void FlatFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int lineY = metrics.height() / 2;
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
    const QColor ink = palette().color(group, QPalette::WindowText);

    painter.setPen(palette().color(QPalette::Active, QPalette::WindowText));
    painter.drawRect(0, lineY, width() - 1, height() - 1 - lineY);

    constexpr int captionLeft = 8;
    constexpr int captionGap = 2;
    const int captionWidth = metrics.horizontalAdvance(m_caption);
    painter.fillRect(captionLeft - captionGap, 0, captionWidth + 2 * captionGap, metrics.height(),
                     palette().color(QPalette::Window));
    painter.setPen(ink);
    painter.drawText(QRect(captionLeft, 0, captionWidth, metrics.height()),
                     Qt::AlignLeft | Qt::AlignTop, m_caption);
}

} // namespace ql
