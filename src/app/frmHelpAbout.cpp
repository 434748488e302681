#include "app/frmHelpAbout.h"

#include "app/ClosePictures.h"
#include "app/Fonts.h"
#include "app/LabelCaption.h"
#include "app/LayoutUnits.h"
#include "app/Pictures.h"
#include "app/VersionText.h"
#include "app/WindowSystem.h"

#include <QEvent>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QStringList>

namespace ql {

namespace {

const QColor kDarkGrey(64, 64, 64);
const QColor kLightGrey(192, 192, 192);
const QColor kRuleGrey(128, 128, 128);

const QString kCrLf = QStringLiteral("\r\n");

void setCaption(QLabel& label, const QString& caption, bool autoSize)
{
    label.setText(shownCaption(caption));
    if (autoSize)
        label.adjustSize();
}

QString trimBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype end = text.size();
    while (first < end && text.at(first) == u' ')
        ++first;
    while (end > first && text.at(end - 1) == u' ')
        --end;
    return text.mid(first, end - first);
}

void setColor(QWidget& widget, QPalette::ColorRole role, const QColor& color)
{
    QPalette palette = widget.palette();
    palette.setColor(role, color);
    widget.setPalette(palette);
}

// Lines, shapes and the edge lines are plain coloured areas; lines and
// shapes let the mouse through to the window, as drawn figures do.
QWidget* filledArea(QWidget& parent, const char* name, const QRect& geometry, const QColor& color,
                    bool mouseThrough)
{
    auto* area = new QWidget(&parent);
    area->setObjectName(QLatin1String(name));
    area->setGeometry(geometry);
    area->setAutoFillBackground(true);
    setColor(*area, QPalette::Window, color);
    area->setAttribute(Qt::WA_TransparentForMouseEvents, mouseThrough);
    return area;
}

QLabel* textLabel(QWidget& parent, const char* name, const QPoint& position, const QColor& color)
{
    auto* label = new QLabel(&parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->move(position);
    setColor(*label, QPalette::WindowText, color);
    return label;
}

QLabel* image(QWidget& parent, const char* name, const QRect& geometry, bool visible)
{
    auto* label = new QLabel(&parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setVisible(visible);
    return label;
}

// The product picture: a hand-held computer with its serial cable and plug.
QPixmap productPicture(qreal devicePixelRatio)
{
    QPixmap picture = whiteCanvas(85, 85, devicePixelRatio);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);

    QPainterPath cable;
    cable.moveTo(56, 70);
    cable.cubicTo(56, 84, 30, 82, 24, 74);
    p.setPen(QPen(QColor(40, 40, 40), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(cable);

    // The nine-pin plug: its grip, then the D-shaped shell facing left.
    p.setPen(QPen(QColor(50, 50, 55), 1));
    p.setBrush(QColor(120, 125, 135));
    p.drawRoundedRect(QRectF(14.5, 67.5, 10, 13), 2, 2);
    QPolygonF shell;
    shell << QPointF(14.5, 65.5) << QPointF(14.5, 82.5) << QPointF(6.5, 80.5) << QPointF(6.5, 67.5);
    p.setBrush(QColor(196, 200, 208));
    p.drawPolygon(shell);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 60, 66));
    for (int pin = 0; pin < 5; ++pin)
        p.drawEllipse(QPointF(9.5, 69.5 + pin * 2.5), 0.8, 0.8);

    p.setPen(QPen(QColor(30, 35, 45), 1.2));
    p.setBrush(QColor(72, 84, 104));
    p.drawRoundedRect(QRectF(35.5, 2.5, 42, 66), 7, 7);
    p.setBrush(QColor(40, 46, 58));
    p.drawRect(QRectF(51.5, 67.5, 9, 4));

    p.setPen(QPen(QColor(25, 30, 25), 1));
    p.setBrush(QColor(186, 212, 160));
    p.drawRect(QRectF(41.5, 9.5, 30, 22));
    p.setPen(QPen(QColor(60, 80, 50), 1));
    for (int row = 0; row < 4; ++row)
        p.drawLine(QPointF(44, 13.5 + row * 5), QPointF(row % 2 == 0 ? 68 : 60, 13.5 + row * 5));

    p.setPen(Qt::NoPen);
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 3; ++column) {
            p.setBrush(row == 0 && column == 2 ? QColor(210, 90, 60) : QColor(205, 210, 218));
            p.drawRoundedRect(QRectF(42.5 + column * 10, 38 + row * 7, 7, 4.5), 1.5, 1.5);
        }
    }
    return picture;
}

} // namespace

// A child of the main window, so that every window system keeps it over that window.
frmHelpAbout::frmHelpAbout(QWidget& mainWindow) : QDialog(&mainWindow, Qt::Dialog | Qt::FramelessWindowHint)
{
    installFontSubstitutions();
    setFont(sansSerifFont());

    setFixedSize(pixels(10335), pixels(6615));
    setAutoFillBackground(true);
    setColor(*this, QPalette::Window, Qt::white);
    setWindowIcon(QIcon(productPicture(1.0).scaled(32, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    setMouseTracking(true);

    createControls();
    drawPictures();

    // Key preview: the window sees every key before the control with the focus.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);

    Form_Load(mainWindow);
}

void frmHelpAbout::showModal(QWidget& mainWindow)
{
    frmHelpAbout box(mainWindow);
    box.exec();
}

void frmHelpAbout::createControls()
{
    // Created back to front: a later sibling is drawn over an earlier one.
    Image1 = image(*this, "Image1", twipsRect(360, 375, 1275, 1275), true);
    ImgXdef = image(*this, "ImgXdef", twipsRect(7080, 165, 285, 285), false);
    ImgXclk = image(*this, "ImgXclk", twipsRect(7800, 165, 285, 285), false);
    ImgXcur = image(*this, "ImgXcur", twipsRect(7440, 165, 285, 285), false);
    ImgXbut = image(*this, "ImgXbut", twipsRect(9795, 165, 285, 285), true);
    ImgXbut->setMouseTracking(true);

    lblProductName = textLabel(*this, "lblProductName", QPoint(pixels(2400), pixels(720)), kDarkGrey);
    setCaption(*lblProductName, QStringLiteral("#"), true);
    lblAbout = textLabel(*this, "lblAbout", QPoint(pixels(2400), pixels(1320)), kDarkGrey);
    setCaption(*lblAbout, QStringLiteral("#"), true);

    // The platform's lines leave out their end point.
    const int ruleLeft = pixels(1920);
    Line1 = filledArea(*this, "Line1", QRect(ruleLeft, pixels(960), pixels(10000) - ruleLeft, 1), kRuleGrey,
                       true);

    lblAuthor = textLabel(*this, "lblAuthor", QPoint(pixels(2400), pixels(2280)), kDarkGrey);
    setCaption(*lblAuthor, QStringLiteral("#"), true);

    Shape2 = new QFrame(this);
    Shape2->setObjectName(QStringLiteral("Shape2"));
    Shape2->setGeometry(twipsRect(0, 4800, 10335, 1815));
    Shape2->setFrameStyle(QFrame::Box | QFrame::Plain);
    Shape2->setLineWidth(1);
    Shape2->setAutoFillBackground(true);
    setColor(*Shape2, QPalette::Window, kDarkGrey);
    setColor(*Shape2, QPalette::WindowText, Qt::black);
    Shape2->setAttribute(Qt::WA_TransparentForMouseEvents);

    lblDesc = textLabel(*this, "lblDesc", QPoint(pixels(240), pixels(4995)), kLightGrey);
    lblDesc->resize(pixels(9825), pixels(1395));
    lblDesc->setWordWrap(true);
    setCaption(*lblDesc, QStringLiteral("#"), false);

    // A five-pixel line centred on the window's second pixel row.
    const int bandWidth = 5;
    Line2 = filledArea(*this, "Line2", QRect(0, pixels(9) - bandWidth / 2, pixels(10335), bandWidth),
                       kDarkGrey, true);

    txtUrl = new QLineEdit(kMakerUrl, this);
    txtUrl->setObjectName(QStringLiteral("txtUrl"));
    txtUrl->setGeometry(twipsRect(2400, 3240, 2535, 195));
    txtUrl->setFrame(false);
    txtUrl->setCursorPosition(0);
    setColor(*txtUrl, QPalette::Text, kDarkGrey);
    connect(txtUrl, &QLineEdit::textChanged, this, &frmHelpAbout::txtUrl_Change);

    PicLineLft = filledArea(*this, "PicLineLft", twipsRect(0, 15, 15, 6585), Qt::black, false);
    PicLineRgt = filledArea(*this, "PicLineRgt", twipsRect(10320, 15, 15, 6585), Qt::black, false);
    PicLineTop = filledArea(*this, "PicLineTop", twipsRect(0, 0, 10335, 15), Qt::black, false);
    PicLineBot = filledArea(*this, "PicLineBot", twipsRect(0, 6600, 10335, 15), Qt::black, false);
}

void frmHelpAbout::drawPictures()
{
    const qreal ratio = devicePixelRatioF();
    if (ratio == m_picturesRatio)
        return;
    m_picturesRatio = ratio;
    Image1->setPixmap(productPicture(ratio));
    ImgXdef->setPixmap(drawClosePicture(Qt::black, ratio));
    ImgXclk->setPixmap(drawClosePicture(QColor(0, 0, 255), ratio));
    ImgXcur->setPixmap(drawClosePicture(QColor(255, 0, 0), ratio));
    ResetCloseButton();
}

void frmHelpAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_followingRatio) {
        m_followingRatio = true;
        followDevicePixelRatio(*this, [this] { drawPictures(); });
    }
}

void frmHelpAbout::Form_Load(const QWidget& mainWindow)
{
    setColor(*txtUrl, QPalette::Base, Qt::white);

    setCaption(*lblProductName, trimBlanks(mainWindow.windowTitle()), true);

    setCaption(*lblAbout,
               QStringList{QStringLiteral("Free serial port communication utility for"),
                           QStringLiteral("Microsoft Windows Operating System."), QString()}
                   .join(kCrLf),
               true);

    setCaption(*lblAuthor,
               QStringList{QStringLiteral("Designed && Developed by"), QStringLiteral("Trevassic"),
                           QStringLiteral("Kestorvane")}
                   .join(kCrLf),
               true);

    // Where windows cannot be placed from code, the window system places the box
    // over its main window.
    if (QtWindowSystem().placesWindows()) {
        const QRect main = mainWindow.frameGeometry();
        const double top = main.y() + (main.height() - height()) / 2.0;
        const double left = main.x() + (main.width() - width()) / 2.0;
        move(qRound(left), qRound(top));
    }

    const QString description =
        QStringLiteral(" ") + QStringLiteral("This release is ") + VersionText()
        + QStringLiteral(
            " and is featured with (a) serial port communication with external device (b) adaptable to "
            "virtual serial ports (c) reads from text file to send data (d) writes received data to text "
            "file (e) configurable for port number and baud rate. Even though it has been tested for all "
            "known issues, the user must satisfy its proper testing himself/herself before using it. ")
        + QStringLiteral("The author or the organisation doesn\u2019t take any responsibility for any kind of "
                         "disaster happens to the computer. ")
        + QStringLiteral("Any kind of enhancement requested or bug reported will be appreciated and will be "
                         "considered for its new version and next releases. Any new utility concept "
                         "suggested by users will also be taken into consideration. ");
    setCaption(*lblDesc, description, false);
}

void frmHelpAbout::ResetCloseButton()
{
    ImgXbut->setPixmap(ImgXdef->pixmap());
}

void frmHelpAbout::mouseMoveEvent(QMouseEvent* event)
{
    ResetCloseButton();
    QDialog::mouseMoveEvent(event);
}

bool frmHelpAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter)
            close();
        // Every other key is discarded, so txtUrl never sees a key.
        return true;
    }
    if (watched == ImgXbut)
        return handleCloseButtonMouse(*event);
    return QDialog::eventFilter(watched, event);
}

bool frmHelpAbout::handleCloseButtonMouse(const QEvent& event)
{
    switch (event.type()) {
    case QEvent::MouseMove:
        // The blue cross stays while a button is held on the button.
        if (static_cast<const QMouseEvent&>(event).buttons() == Qt::NoButton)
            ImgXbut->setPixmap(ImgXcur->pixmap());
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        ImgXbut->setPixmap(ImgXclk->pixmap());
        if (static_cast<const QMouseEvent&>(event).button() == Qt::LeftButton)
            m_leftPressedOnClose = true;
        return true;
    case QEvent::MouseButtonRelease: {
        const auto& mouse = static_cast<const QMouseEvent&>(event);
        ImgXbut->setPixmap(ImgXdef->pixmap());
        if (mouse.button() == Qt::LeftButton) {
            const bool click = m_leftPressedOnClose && ImgXbut->rect().contains(mouse.position().toPoint());
            m_leftPressedOnClose = false;
            if (click)
                close();
        }
        return true;
    }
    default:
        return false;
    }
}

void frmHelpAbout::txtUrl_Change()
{
    // Restoring only a changed text keeps the restore from raising another change.
    if (txtUrl->text() != kMakerUrl) {
        txtUrl->setText(kMakerUrl);
        txtUrl->setCursorPosition(0);
    }
}

} // namespace ql
