#include "app/WindowControls.h"
#include "app/frmHelpAbout.h"
#include "app/frmMainWin.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace ql::test {
namespace {

// Read before main makes the application object: every screen scaled twice, and
// the second screen half as much again.
const bool kScaledTwice = qputenv("QT_SCALE_FACTOR", "2")
    && qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + QL_TWO_SCREENS);

struct Drawn {
    QString name;
    QPixmap picture;
    QSize logicalSize;
};

void expectSharp(const QList<Drawn>& pictures, qreal ratio = 2.0)
{
    for (const Drawn& drawn : pictures) {
        EXPECT_EQ(drawn.picture.devicePixelRatio(), ratio) << drawn.name.toStdString();
        EXPECT_EQ(drawn.picture.size(), drawn.logicalSize * ratio) << drawn.name.toStdString();
    }
}

TEST(HighDpi, EveryPictureIsDrawnAtTheScreensPixelRatio)
{
    ASSERT_TRUE(kScaledTwice);
    frmMainWin window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(window.devicePixelRatioF(), 2.0);

    const auto picture = [&](const char* name) { return window.findChild<PictureBox*>(QLatin1String(name))->picture(); };
    const auto image = [&](const QWidget& owner, const char* name) {
        return owner.findChild<QLabel*>(QLatin1String(name))->pixmap();
    };
    const QSize button(19, 19);
    expectSharp({{QStringLiteral("PicStart"), picture("PicStart"), button},
                 {QStringLiteral("PicAbort"), picture("PicAbort"), button},
                 {QStringLiteral("PicClose"), picture("PicClose"), button},
                 {QStringLiteral("PicHelp"), image(window, "PicHelp"), button},
                 {QStringLiteral("ImgViewFile"), image(window, "ImgViewFile"), QSize(55, 19)},
                 {QStringLiteral("ImgViewEvnt"), image(window, "ImgViewEvnt"), QSize(55, 19)},
                 {QStringLiteral("imgDevice"), image(window, "imgDevice"), QSize(137, 91)},
                 {QStringLiteral("hand"), window.findChild<QWidget*>(QStringLiteral("PicStart"))->cursor().pixmap(),
                  QSize(32, 32)},
                 {QStringLiteral("icon"), window.windowIcon().pixmap(QSize(32, 32), 2.0), QSize(32, 32)}});
    EXPECT_EQ(window.findChild<QWidget*>(QStringLiteral("PicStart"))->cursor().hotSpot(), QPoint(12, 1));

    frmHelpAbout box(window);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    expectSharp({{QStringLiteral("Image1"), image(box, "Image1"), QSize(85, 85)},
                 {QStringLiteral("ImgXbut"), image(box, "ImgXbut"), button},
                 {QStringLiteral("ImgXcur"), image(box, "ImgXcur"), button},
                 {QStringLiteral("ImgXclk"), image(box, "ImgXclk"), button}});
}

TEST(HighDpi, PicturesAreDrawnAgainOnAScreenWithAnotherRatio)
{
    ASSERT_EQ(QGuiApplication::screens().size(), 2);
    frmMainWin window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.move(QGuiApplication::screens().at(1)->geometry().topLeft() + QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.devicePixelRatioF() == 3.0; }));

    auto* start = window.findChild<PictureBox*>(QStringLiteral("PicStart"));
    expectSharp({{QStringLiteral("PicStart"), start->picture(), QSize(19, 19)},
                 {QStringLiteral("imgDevice"), window.findChild<QLabel*>(QStringLiteral("imgDevice"))->pixmap(),
                  QSize(137, 91)},
                 {QStringLiteral("hand"), start->cursor().pixmap(), QSize(32, 32)}},
                3.0);
}

} // namespace
} // namespace ql::test
