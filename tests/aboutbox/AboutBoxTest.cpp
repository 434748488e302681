#include "app/VersionText.h"
#include "app/frmHelpAbout.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace ql::test {
namespace {

const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kDarkGrey(64, 64, 64);
const QColor kRuleGrey(128, 128, 128);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);

// The middle pixel of the close picture lies on both strokes of the cross.
const QPoint kCrossCentre(9, 9);

class AboutBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_mainWindow.setWindowTitle(QStringLiteral("Quorvalink 1.0.188.1"));
        m_mainWindow.setGeometry(120, 90, 689, 441);
    }

    // A box shown on its own, for the parts that do not need the modal loop.
    frmHelpAbout& openBox()
    {
        m_box = std::make_unique<frmHelpAbout>(m_mainWindow);
        m_box->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_box.get()));
        return *m_box;
    }

    template <typename Control>
    static Control& control(const QWidget& box, const char* name)
    {
        auto* found = box.findChild<Control*>(QLatin1String(name));
        if (found == nullptr)
            throw std::runtime_error(std::string("no control ") + name);
        return *found;
    }

    static QColor closeButtonColour(const QWidget& box)
    {
        return control<QLabel>(box, "ImgXbut").grab().toImage().pixelColor(kCrossCentre);
    }

    // Runs the modal box, handing it to the step once it is up; a box left
    // open by a failing step is closed after a bound so the test cannot hang.
    void runModal(const std::function<void(QWidget& box)>& step)
    {
        bool stepRan = false;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            ASSERT_NE(box, nullptr);
            stepRan = true;
            step(*box);
        });
        QTimer guard;
        guard.setSingleShot(true);
        bool leftOpen = false;
        QObject::connect(&guard, &QTimer::timeout, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                leftOpen = true;
                box->close();
            }
        });
        guard.start(5000);
        frmHelpAbout::showModal(m_mainWindow);
        EXPECT_TRUE(stepRan);
        EXPECT_FALSE(leftOpen) << "the box did not close";
    }

    QWidget m_mainWindow{nullptr, Qt::FramelessWindowHint};
    std::unique_ptr<frmHelpAbout> m_box;
};

QString expectedDescription()
{
    return QStringLiteral(" This release is ") + VersionText()
        + QStringLiteral(
            " and is featured with (a) serial port communication with external device (b) adaptable to "
            "virtual serial ports (c) reads from text file to send data (d) writes received data to text "
            "file (e) configurable for port number and baud rate. Even though it has been tested for all "
            "known issues, the user must satisfy its proper testing himself/herself before using it. "
            "The author or the organisation doesn\u2019t take any responsibility for any kind of disaster "
            "happens to the computer. Any kind of enhancement requested or bug reported will be "
            "appreciated and will be considered for its new version and next releases. Any new utility "
            "concept suggested by users will also be taken into consideration. ");
}

TEST_F(AboutBoxTest, BelongsToTheMainWindowSoThatWindowSystemsKeepItOverIt)
{
    m_mainWindow.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_mainWindow));
    const frmHelpAbout& box = openBox();
    ASSERT_NE(box.windowHandle(), nullptr);
    EXPECT_EQ(box.windowHandle()->transientParent(), m_mainWindow.windowHandle());
}

TEST_F(AboutBoxTest, ShowsStatementCreditAndDisclaimer)
{
    frmHelpAbout& box = openBox();

    EXPECT_EQ(control<QLabel>(box, "lblAbout").text(),
              QStringLiteral("Free serial port communication utility for\nMicrosoft Windows Operating System.\n"));
    EXPECT_EQ(control<QLabel>(box, "lblAuthor").text(),
              QStringLiteral("Designed & Developed by\nTrevassic\nKestorvane"));

    const QString description = control<QLabel>(box, "lblDesc").text();
    EXPECT_EQ(description, expectedDescription());
    EXPECT_TRUE(description.contains(QChar(0x2019)));
    EXPECT_TRUE(description.endsWith(QLatin1String("consideration. ")));
    EXPECT_EQ(control<QLineEdit>(box, "txtUrl").text(), kMakerUrl);
}

TEST_F(AboutBoxTest, CrLfBreaksALabelOnceAndDoubledAmpersandShowsOnce)
{
    frmHelpAbout& box = openBox();
    const auto& author = control<QLabel>(box, "lblAuthor");
    const auto& about = control<QLabel>(box, "lblAbout");
    const QFontMetrics metrics(author.font());
    const int threeLines = metrics.boundingRect(QRect(), Qt::AlignLeft, QStringLiteral("A\nB\nC")).height();

    // Sized to its text: three lines each, the statement's last one empty.
    EXPECT_EQ(author.height(), threeLines);
    EXPECT_EQ(about.height(), threeLines);
    EXPECT_EQ(author.width(),
              metrics.boundingRect(QRect(), Qt::AlignLeft, QStringLiteral("Designed & Developed by")).width());
    EXPECT_EQ(author.text().count(u'&'), 1);
    EXPECT_FALSE(author.text().contains(u'\r'));
}

struct CaptionCase {
    const char* caption;
    const char* productLine;
};

class ProductLineTest : public AboutBoxTest, public ::testing::WithParamInterface<CaptionCase> {};

TEST_P(ProductLineTest, FollowsTheMainWindowCaptionWithoutOuterBlanks)
{
    m_mainWindow.setWindowTitle(QString::fromUtf8(GetParam().caption));
    frmHelpAbout& box = openBox();
    EXPECT_EQ(control<QLabel>(box, "lblProductName").text(), QString::fromUtf8(GetParam().productLine));
}

INSTANTIATE_TEST_SUITE_P(Captions, ProductLineTest,
                         ::testing::Values(CaptionCase{"Quorvalink 1.0.188.1", "Quorvalink 1.0.188.1"},
                                           CaptionCase{"   Quorvalink 2.1.007.1  ", "Quorvalink 2.1.007.1"},
                                           CaptionCase{"Quorvalink  1.0.188.1 ", "Quorvalink  1.0.188.1"}));

struct PlacementCase {
    QRect mainWindow;
    QPoint boxTopLeft;
};

class PlacementTest : public AboutBoxTest, public ::testing::WithParamInterface<PlacementCase> {};

TEST_P(PlacementTest, OpensCentredOverTheMainWindow)
{
    m_mainWindow.setGeometry(GetParam().mainWindow);
    frmHelpAbout& box = openBox();
    EXPECT_EQ(box.size(), QSize(689, 441));
    EXPECT_EQ(box.frameGeometry().topLeft(), GetParam().boxTopLeft);
}

INSTANTIATE_TEST_SUITE_P(MainWindowPositions, PlacementTest,
                         ::testing::Values(PlacementCase{QRect(0, 0, 689, 441), QPoint(0, 0)},
                                           PlacementCase{QRect(120, 90, 689, 441), QPoint(120, 90)},
                                           PlacementCase{QRect(-250, -40, 689, 441), QPoint(-250, -40)},
                                           PlacementCase{QRect(900, 700, 689, 441), QPoint(900, 700)},
                                           PlacementCase{QRect(100, 100, 701, 451), QPoint(106, 105)}));

struct PixelCase {
    QPoint position;
    QColor colour;
    const char* what;
};

TEST_F(AboutBoxTest, DrawsEdgesBandsAndRule)
{
    const QImage picture = openBox().grab().toImage();
    const PixelCase cases[] = {
        {{0, 0}, kBlack, "top left corner"},
        {{344, 0}, kBlack, "top edge"},
        {{344, 2}, kDarkGrey, "dark band along the top"},
        {{344, 5}, kWhite, "ground under the band"},
        {{0, 200}, kBlack, "left edge"},
        {{688, 200}, kBlack, "right edge"},
        {{344, 440}, kBlack, "bottom edge"},
        {{300, 64}, kRuleGrey, "rule under the product line"},
        {{127, 64}, kWhite, "ground left of the rule"},
        {{667, 64}, kWhite, "ground right of the rule"},
        {{344, 320}, kBlack, "outline of the lower band"},
        {{5, 430}, kDarkGrey, "lower band"},
        {{662, 20}, kBlack, "close cross"},
    };
    for (const PixelCase& pixel : cases)
        EXPECT_EQ(picture.pixelColor(pixel.position), pixel.colour) << pixel.what;
}

TEST_F(AboutBoxTest, CloseButtonShowsPointerAndPressStates)
{
    frmHelpAbout& box = openBox();
    auto& button = control<QLabel>(box, "ImgXbut");
    EXPECT_EQ(closeButtonColour(box), kBlack);

    QTest::mouseMove(&button, QPoint(9, 9));
    EXPECT_EQ(closeButtonColour(box), kRed);

    // The pointer back on the window's own ground undoes the red cross.
    QTest::mouseMove(&box, QPoint(400, 200));
    EXPECT_EQ(closeButtonColour(box), kBlack);

    QTest::mouseMove(&button, QPoint(8, 8));
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_EQ(closeButtonColour(box), kBlue);
    QTest::mouseMove(&button, QPoint(10, 10));
    EXPECT_EQ(closeButtonColour(box), kBlue);

    // Released outside the button: no click.
    QTest::mouseMove(&button, QPoint(-40, 30));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(-40, 30));
    EXPECT_EQ(closeButtonColour(box), kBlack);
    EXPECT_TRUE(box.isVisible());
}

TEST_F(AboutBoxTest, OnlyALeftClickOnTheCloseButtonCloses)
{
    frmHelpAbout& box = openBox();
    auto& button = control<QLabel>(box, "ImgXbut");

    QTest::mousePress(&button, Qt::RightButton, {}, QPoint(9, 9));
    EXPECT_EQ(closeButtonColour(box), kBlue);
    QTest::mouseRelease(&button, Qt::RightButton, {}, QPoint(9, 9));
    EXPECT_EQ(closeButtonColour(box), kBlack);
    EXPECT_TRUE(box.isVisible());

    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(9, 9));
    EXPECT_FALSE(box.isVisible());
}

struct KeyCase {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* name;
};

const KeyCase kClosingKeys[] = {
    {Qt::Key_Escape, Qt::NoModifier, "Esc"},
    {Qt::Key_Return, Qt::NoModifier, "Enter"},
    {Qt::Key_Enter, Qt::KeypadModifier, "keypad Enter"},
};

const KeyCase kOtherKeys[] = {
    {Qt::Key_A, Qt::NoModifier, "letter"},
    {Qt::Key_Space, Qt::NoModifier, "blank"},
    {Qt::Key_Delete, Qt::NoModifier, "Delete"},
    {Qt::Key_Backspace, Qt::NoModifier, "Backspace"},
    {Qt::Key_Tab, Qt::NoModifier, "Tab"},
    {Qt::Key_Left, Qt::NoModifier, "arrow"},
    {Qt::Key_End, Qt::ShiftModifier, "shift End"},
    {Qt::Key_X, Qt::ControlModifier, "cut"},
    {Qt::Key_V, Qt::ControlModifier, "paste"},
    {Qt::Key_Z, Qt::ControlModifier, "undo"},
    {Qt::Key_F1, Qt::NoModifier, "function key"},
};

TEST_F(AboutBoxTest, EscAndEnterCloseWithTheFocusAnywhere)
{
    for (const KeyCase& key : kClosingKeys) {
        for (const bool inUrl : {false, true}) {
            frmHelpAbout& box = openBox();
            QWidget& target = inUrl ? static_cast<QWidget&>(control<QLineEdit>(box, "txtUrl")) : box;
            QTest::keyClick(&target, key.key, key.modifiers);
            EXPECT_FALSE(box.isVisible()) << key.name << (inUrl ? " in txtUrl" : " on the window");
        }
    }
}

TEST_F(AboutBoxTest, OtherKeysLeaveTheWindowAndTheAddressAsTheyWere)
{
    for (const KeyCase& key : kOtherKeys) {
        frmHelpAbout& box = openBox();
        auto& url = control<QLineEdit>(box, "txtUrl");
        url.setFocus();
        url.setSelection(8, 10);
        QSignalSpy changes(&url, &QLineEdit::textChanged);
        QApplication::clipboard()->setText(QStringLiteral("pasted"));

        QTest::keyClick(&url, key.key, key.modifiers);
        QTest::keyClick(&box, key.key, key.modifiers);

        EXPECT_TRUE(box.isVisible()) << key.name;
        EXPECT_EQ(url.text(), kMakerUrl) << key.name;
        EXPECT_EQ(url.selectedText(), kMakerUrl.mid(8, 10)) << key.name;
        EXPECT_EQ(changes.count(), 0) << key.name;
    }
}

struct EditCase {
    const char* name;
    std::function<void(QLineEdit&)> edit;
};

TEST_F(AboutBoxTest, EditsThatReachTheAddressAreUndoneOnce)
{
    const EditCase cases[] = {
        {"paste", [](QLineEdit& url) { url.paste(); }},
        {"cut", [](QLineEdit& url) { url.cut(); }},
        {"delete", [](QLineEdit& url) { url.del(); }},
        {"backspace", [](QLineEdit& url) { url.backspace(); }},
        {"typed text", [](QLineEdit& url) { url.insert(QStringLiteral("x")); }},
    };
    for (const EditCase& edit : cases) {
        frmHelpAbout& box = openBox();
        auto& url = control<QLineEdit>(box, "txtUrl");
        QApplication::clipboard()->setText(QStringLiteral("pasted"));
        url.setSelection(8, 10);
        QSignalSpy changes(&url, &QLineEdit::textChanged);

        edit.edit(url);

        EXPECT_EQ(url.text(), kMakerUrl) << edit.name;
        // One change, then one restore that raises no further change.
        EXPECT_EQ(changes.count(), 2) << edit.name;
    }
}

TEST_F(AboutBoxTest, AddressCanBeSelectedAndCopiedWithTheMouse)
{
    frmHelpAbout& box = openBox();
    auto& url = control<QLineEdit>(box, "txtUrl");
    QTest::mousePress(&url, Qt::LeftButton, {}, QPoint(1, 6));
    QTest::mouseMove(&url, QPoint(url.width() - 1, 6));
    QTest::mouseRelease(&url, Qt::LeftButton, {}, QPoint(url.width() - 1, 6));
    EXPECT_EQ(url.selectedText(), kMakerUrl);

    QApplication::clipboard()->clear();
    url.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), kMakerUrl);
    EXPECT_EQ(url.text(), kMakerUrl);
}

TEST_F(AboutBoxTest, ModalBoxBlocksTheMainWindowAndClosesOnEscInTheAddress)
{
    bool modal = false;
    runModal([&](QWidget& box) {
        modal = box.windowModality() == Qt::ApplicationModal && QApplication::activeModalWidget() == &box;
        auto& url = control<QLineEdit>(box, "txtUrl");
        url.setFocus();
        QTest::keyClick(&url, Qt::Key_Escape);
    });
    EXPECT_TRUE(modal);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(AboutBoxTest, ReopensFreshOverTheMovedMainWindow)
{
    runModal([](QWidget& box) { QTest::mouseClick(&control<QLabel>(box, "ImgXbut"), Qt::LeftButton); });

    m_mainWindow.move(310, 205);
    m_mainWindow.setWindowTitle(QStringLiteral("Quorvalink 1.0.189.1"));
    QPoint placed;
    QString productLine;
    QColor closeColour;
    runModal([&](QWidget& box) {
        placed = box.frameGeometry().topLeft();
        productLine = control<QLabel>(box, "lblProductName").text();
        closeColour = closeButtonColour(box);
        QTest::keyClick(&box, Qt::Key_Return);
    });
    EXPECT_EQ(placed, QPoint(310, 205));
    EXPECT_EQ(productLine, QStringLiteral("Quorvalink 1.0.189.1"));
    EXPECT_EQ(closeColour, kBlack);
}

} // namespace
} // namespace ql::test
