#include "MainWindowFixture.h"

#include "app/Pictures.h"
#include "app/WindowControls.h"

#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScreen>
#include <QSignalSpy>

#include <vector>

namespace ql::test {
namespace {

struct Placement {
    const char* name;
    const char* parent;
    int x, y, width, height;
    bool visible;
};

void PrintTo(const Placement& placement, std::ostream* out)
{
    *out << placement.name;
}

class ControlPlacement : public MainWindowTest, public ::testing::WithParamInterface<Placement> {};

TEST_P(ControlPlacement, SitsInItsContainerAtTheDesignedPixels)
{
    const Placement& expected = GetParam();
    QWidget* widget = control(expected.name);
    ASSERT_NE(widget, nullptr);
    ASSERT_NE(widget->parentWidget(), nullptr);
    EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromLatin1(expected.parent));
    EXPECT_EQ(widget->geometry(), QRect(expected.x, expected.y, expected.width, expected.height));
    EXPECT_EQ(widget->isVisibleTo(window.get()), expected.visible);
}

INSTANTIATE_TEST_SUITE_P(
    DesignTables, ControlPlacement,
    ::testing::Values(Placement {"PicAbort", "frmMainWin", 640, 368, 19, 19, false},
                      Placement {"PicStart", "frmMainWin", 640, 368, 19, 19, true},
                      Placement {"PicClose", "frmMainWin", 656, 16, 19, 19, true},
                      Placement {"PicLineRgt", "frmMainWin", 688, 1, 1, 439, true},
                      Placement {"PicLineLft", "frmMainWin", 0, 1, 1, 439, true},
                      Placement {"PicLineBot", "frmMainWin", 0, 440, 689, 1, true},
                      Placement {"PicLineTop", "frmMainWin", 0, 0, 689, 1, true},
                      Placement {"fmSettings", "frmMainWin", 536, 160, 137, 129, true},
                      Placement {"fmProcesses", "frmMainWin", 536, 296, 137, 105, true},
                      Placement {"lstEvents", "frmMainWin", 16, 64, 508, 338, true},
                      Placement {"lstRecords", "frmMainWin", 16, 64, 508, 338, false},
                      Placement {"Line2", "frmMainWin", 0, 416, 688, 1, true},
                      Placement {"Line1", "frmMainWin", 0, 48, 688, 1, true},
                      Placement {"PicHelp", "frmMainWin", 632, 16, 19, 19, true},
                      Placement {"lblTitleBar", "frmMainWin", 0, 0, 713, 49, true},
                      Placement {"lblStatus", "frmMainWin", 16, 421, 817, 17, true},
                      Placement {"imgDevice", "frmMainWin", 536, 64, 137, 91, true},
                      Placement {"lblMsgMgr", "frmMainWin", 11, 12, 6, 13, false},
                      Placement {"picBorder(1)", "fmSettings", 64, 48, 57, 19, true},
                      Placement {"picBorder(0)", "fmSettings", 64, 24, 57, 19, true},
                      Placement {"txtStop", "fmSettings", 64, 96, 57, 19, true},
                      Placement {"txtData", "fmSettings", 64, 72, 57, 19, true},
                      Placement {"Label4", "fmSettings", 8, 49, 65, 17, true},
                      Placement {"Label3", "fmSettings", 8, 25, 65, 17, true},
                      Placement {"Label2", "fmSettings", 8, 97, 65, 17, true},
                      Placement {"Label1", "fmSettings", 8, 73, 65, 17, true},
                      Placement {"cmbBaud", "picBorder(1)", -2, -2, 60, 21, true},
                      Placement {"cmbPort", "picBorder(0)", -2, -2, 60, 21, true},
                      Placement {"txtFile", "fmProcesses", 8, 48, 97, 19, true},
                      Placement {"picBorder(3)", "fmProcesses", 104, 48, 17, 19, true},
                      Placement {"picBorder(2)", "fmProcesses", 8, 24, 113, 19, true},
                      Placement {"ImgViewFile", "fmProcesses", 8, 72, 55, 19, true},
                      Placement {"ImgViewEvnt", "fmProcesses", 8, 72, 55, 19, true},
                      Placement {"cmdBrowse", "picBorder(3)", 1, 1, 15, 19, true},
                      Placement {"cmbProcess", "picBorder(2)", -2, -2, 116, 21, true}));

TEST_F(MainWindowTest, IsAFramelessWhiteWindowOfTheDesignedSizeCentredOnTheScreen)
{
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->size(), QSize(689, 441));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Transmission for Hand Handler Computer"));
    const QRect screen = window->screen()->geometry();
    EXPECT_EQ(window->pos(), QPoint(screen.left() + (screen.width() - 689) / 2,
                                    screen.top() + (screen.height() - 441) / 2));
    for (const int side : {16, 32, 48})
        EXPECT_EQ(window->windowIcon().pixmap(side, side).size(), QSize(side, side));
}

// What lies on top at a point of the window, as a click there would find it.
QString topControlAt(QWidget& window, QPoint point)
{
    QWidget* hit = window.childAt(point);
    return hit ? hit->objectName() : QString();
}

TEST_F(MainWindowTest, OverlappingControlsStackAsDesigned)
{
    // Labels, images and lines lie under windowed controls; Line1 over the title band.
    EXPECT_EQ(topControlAt(*window, {300, 48}), QStringLiteral("Line1"));
    EXPECT_EQ(topControlAt(*window, {300, 20}), QStringLiteral("lblTitleBar"));
    EXPECT_EQ(topControlAt(*window, {641, 25}), QStringLiteral("PicHelp"));
    EXPECT_EQ(topControlAt(*window, {665, 25}), QStringLiteral("PicClose"));
    EXPECT_EQ(topControlAt(*window, {300, 0}), QStringLiteral("PicLineTop"));
    EXPECT_EQ(topControlAt(*window, {688, 20}), QStringLiteral("PicLineRgt"));
    EXPECT_EQ(topControlAt(*window, {688, 425}), QStringLiteral("PicLineRgt"));
    EXPECT_EQ(topControlAt(*window, {649, 377}), QStringLiteral("PicStart"));
    // ImgViewFile covers ImgViewEvnt at creation; txtFile covers the browse face's edge.
    EXPECT_EQ(topControlAt(*window, {536 + 30, 296 + 80}), QStringLiteral("ImgViewFile"));
    EXPECT_EQ(topControlAt(*window, {536 + 104, 296 + 55}), QStringLiteral("txtFile"));
    // The label captions lie under the fields they run into.
    EXPECT_EQ(window->childAt(536 + 66, 160 + 80)->objectName(), QStringLiteral("txtData"));
}

TEST_F(MainWindowTest, TitleBandAndStatusLineAreCutOffAtTheRightEdge)
{
    auto* title = control<QLabel>("lblTitleBar");
    auto* status = control<QLabel>("lblStatus");
    EXPECT_GT(title->geometry().right(), window->rect().right());
    EXPECT_GT(status->geometry().right(), window->rect().right());
    const QRect titleShown = title->visibleRegion().boundingRect().translated(title->pos());
    const QRect statusShown = status->visibleRegion().boundingRect().translated(status->pos());
    EXPECT_LE(titleShown.right(), window->rect().right());
    EXPECT_LE(statusShown.right(), window->rect().right());

    // Whatever the texts, the window's frame line stays on top at the right edge.
    title->setText(QString(80, QLatin1Char('W')));
    status->setText(QString(200, QLatin1Char('W')));
    const QImage shot = window->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(689, 441));
    for (const int y : {1, 20, 47, 425, 439})
        EXPECT_EQ(shot.pixelColor(688, y), QColor(Qt::black)) << "row " << y;
}

TEST_F(MainWindowTest, ControlsStartWithTheirDesignedTexts)
{
    EXPECT_EQ(control<QLabel>("lblTitleBar")->text(), QStringLiteral("#"));
    EXPECT_EQ(control<QLabel>("lblStatus")->text(), QStringLiteral("Ready"));
    EXPECT_EQ(control<QLabel>("lblMsgMgr")->text(), QStringLiteral("?"));
    EXPECT_EQ(control<QLabel>("Label1")->text(), QStringLiteral("Data bit : "));
    EXPECT_EQ(control<QLabel>("Label2")->text(), QStringLiteral("Stop bit : "));
    EXPECT_EQ(control<QLabel>("Label3")->text(), QStringLiteral("Com port : "));
    EXPECT_EQ(control<QLabel>("Label4")->text(), QStringLiteral("Baud rate : "));
    EXPECT_EQ(control<QLabel>("cmdBrowse")->text(), QStringLiteral("..."));
    EXPECT_EQ(control<FlatFrame>("fmSettings")->caption(), QStringLiteral("Settings"));
    EXPECT_EQ(control<FlatFrame>("fmProcesses")->caption(), QStringLiteral("Process"));

    for (const char* name : {"txtData", "txtStop", "txtFile"})
        EXPECT_TRUE(control<QLineEdit>(name)->isReadOnly()) << name;
    EXPECT_EQ(control<QLineEdit>("txtData")->text(), QStringLiteral("8"));
    EXPECT_EQ(control<QLineEdit>("txtStop")->text(), QStringLiteral("1"));
    EXPECT_EQ(control<QLineEdit>("txtFile")->text(), QString());

    auto entries = [](const QComboBox* combo) {
        QStringList list;
        for (int i = 0; i < combo->count(); ++i)
            list.append(combo->itemText(i));
        return list;
    };
    auto* cmbBaud = control<QComboBox>("cmbBaud");
    EXPECT_EQ(entries(cmbBaud).join(QLatin1Char(',')),
              QStringLiteral("1200,1800,2400,3600,4800,7200,9600,14400,19200,28800,38400,56000,57600,115200,"
                             "230400,460800,921600"));
    EXPECT_EQ(cmbBaud->currentText(), QStringLiteral("115200"));
    EXPECT_EQ(cmbBaud->currentIndex(), -1);
    auto* cmbPort = control<QComboBox>("cmbPort");
    EXPECT_EQ(entries(cmbPort).join(QLatin1Char(',')), QStringLiteral("1,2,3,4,5,6,7,8"));
    EXPECT_EQ(cmbPort->currentText(), QString());
    auto* cmbProcess = control<QComboBox>("cmbProcess");
    EXPECT_EQ(entries(cmbProcess).join(QLatin1Char(',')), QStringLiteral("PC->HHC,HHC->PC"));
    EXPECT_EQ(cmbProcess->currentText(), QStringLiteral("PC->HHC"));

    EXPECT_EQ(control<QListView>("lstEvents")->model()->rowCount(), 0);
    EXPECT_EQ(control<QListView>("lstRecords")->model()->rowCount(), 0);
    EXPECT_TRUE(control("fmSettings")->isEnabled());
    EXPECT_TRUE(control("fmProcesses")->isEnabled());
}

TEST_F(MainWindowTest, PicturesHaveTheirDesignedSizes)
{
    EXPECT_EQ(control<PictureBox>("PicStart")->picture().size(), QSize(19, 19));
    EXPECT_EQ(control<PictureBox>("PicAbort")->picture().size(), QSize(19, 19));
    EXPECT_EQ(control<PictureBox>("PicClose")->picture().size(), QSize(19, 19));
    EXPECT_EQ(control<QLabel>("PicHelp")->pixmap().size(), QSize(19, 19));
    EXPECT_EQ(control<QLabel>("ImgViewFile")->pixmap().size(), QSize(55, 19));
    EXPECT_EQ(control<QLabel>("ImgViewEvnt")->pixmap().size(), QSize(55, 19));
    EXPECT_EQ(control<QLabel>("imgDevice")->pixmap().size(), QSize(137, 91));
    EXPECT_NE(drawStartPicture().toImage(), drawStopPicture().toImage());
    EXPECT_NE(drawRecordsViewPicture().toImage(), drawEventsViewPicture().toImage());
}

TEST_F(MainWindowTest, ClickableControlsShowTheHandAndTheTitleBandTheMovePointer)
{
    for (const char* name : {"PicStart", "PicAbort", "PicClose", "cmdBrowse", "ImgViewFile", "ImgViewEvnt"}) {
        const QCursor cursor = control(name)->cursor();
        EXPECT_EQ(cursor.shape(), Qt::BitmapCursor) << name;
        EXPECT_EQ(cursor.hotSpot(), QPoint(kHandHotSpotX, kHandHotSpotY)) << name;
        EXPECT_EQ(cursor.pixmap().size(), QSize(32, 32)) << name;
    }
    EXPECT_EQ(QPoint(kHandHotSpotX, kHandHotSpotY), QPoint(12, 1));
    EXPECT_EQ(control("lblTitleBar")->cursor().shape(), Qt::SizeAllCursor);
    EXPECT_EQ(control("PicHelp")->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(control("lstEvents")->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(MainWindowTest, FontsMapToMetricCompatibleFamiliesAtTheirPixelSizes)
{
    struct FontCase {
        const char* name;
        const char* family;
        int pixelSize;
        bool bold;
    };
    for (const FontCase& c : {FontCase {"lstEvents", "Liberation Mono", 11, false},
                              FontCase {"lstRecords", "Liberation Mono", 11, false},
                              FontCase {"lblTitleBar", "Liberation Mono", 13, true},
                              FontCase {"lblStatus", "Liberation Sans", 11, false},
                              FontCase {"Label1", "Liberation Sans", 11, false},
                              FontCase {"cmbBaud", "Liberation Sans", 11, false},
                              FontCase {"txtFile", "Liberation Sans", 11, false},
                              FontCase {"cmdBrowse", "Liberation Sans", 11, true}}) {
        const QFontInfo info(control(c.name)->font());
        EXPECT_EQ(info.family(), QString::fromLatin1(c.family)) << c.name;
        EXPECT_EQ(info.pixelSize(), c.pixelSize) << c.name;
        EXPECT_EQ(info.bold(), c.bold) << c.name;
    }
}

TEST_F(MainWindowTest, FocusStartsInThePortBoxAndTabFollowsTheDesignedOrder)
{
    EXPECT_EQ(focused(), control("cmbPort"));

    QStringList reached;
    const QObject listening;
    QObject::connect(qApp, &QApplication::focusChanged, &listening,
                     [&reached](QWidget*, QWidget* now) { reached.append(now ? now->objectName() : QString()); });
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(focused(), Qt::Key_Tab);
        settle();
    }
    // The event list passes the focus straight on; nothing else in the order takes it.
    EXPECT_EQ(reached.join(QLatin1Char(',')),
              QStringLiteral("cmbBaud,txtData,txtStop,cmbProcess,txtFile,lstEvents,cmbPort,cmbBaud"));
}

TEST_F(MainWindowTest, TabSkipsTheHiddenListAndPassesOverTheShownOne)
{
    window->SwitchListView(QStringLiteral("F"));
    control("txtFile")->setFocus();
    QStringList reached;
    const QObject listening;
    QObject::connect(qApp, &QApplication::focusChanged, &listening,
                     [&reached](QWidget*, QWidget* now) { reached.append(now ? now->objectName() : QString()); });
    QTest::keyClick(focused(), Qt::Key_Tab);
    settle();
    EXPECT_EQ(reached.join(QLatin1Char(',')), QStringLiteral("lstRecords,cmbPort"));
}

} // namespace
} // namespace ql::test
