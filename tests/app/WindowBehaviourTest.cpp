#include "MainWindowFixture.h"

#include "records/RecordList.h"

#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QSignalSpy>

namespace ql::test {
namespace {

class WindowBehaviourTest : public MainWindowTest {
protected:
    QLabel* title() const { return control<QLabel>("lblTitleBar"); }

    // A mouse event on the title band at a pixel position, with the buttons held.
    void sendToTitle(QEvent::Type type, QPointF position, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent event(type, position, title()->mapToGlobal(position), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(title(), &event);
    }

    int eventCount() const { return control<QListView>("lstEvents")->model()->rowCount(); }
};

TEST_F(WindowBehaviourTest, DraggingTheTitleBandWithTheLeftButtonMovesTheWindow)
{
    const QPoint start = window->pos();
    QTest::mousePress(title(), Qt::LeftButton, {}, {100, 20});
    EXPECT_EQ(window->dragAnchor(), QPoint(1500, 300));

    QTest::mouseMove(title(), {130, 25});
    EXPECT_EQ(window->pos(), start + QPoint(30, 5));
    // The band moved with the window, so the pointer is back at the anchor.
    QTest::mouseMove(title(), {100, 20});
    EXPECT_EQ(window->pos(), start + QPoint(30, 5));
    QTest::mouseMove(title(), {40, 10});
    EXPECT_EQ(window->pos(), start + QPoint(-30, -5));
    QTest::mouseRelease(title(), Qt::LeftButton, {}, {40, 10});

    // No clamping: the window may leave the screen.
    const QPoint before = window->pos();
    QTest::mousePress(title(), Qt::LeftButton, {}, {5, 5});
    QTest::mouseMove(title(), {5 - 3000, 5 - 2000});
    QTest::mouseRelease(title(), Qt::LeftButton, {}, {5 - 3000, 5 - 2000});
    EXPECT_EQ(window->pos(), before - QPoint(3000, 2000));
}

struct ButtonCase {
    const char* name;
    Qt::MouseButton button;
};

void PrintTo(const ButtonCase& c, std::ostream* out)
{
    *out << c.name;
}

class DragButtonTest : public WindowBehaviourTest, public ::testing::WithParamInterface<ButtonCase> {};

TEST_P(DragButtonTest, OtherButtonsReplaceTheAnchorButNeverMove)
{
    const QPoint start = window->pos();
    QTest::mousePress(title(), Qt::LeftButton, {}, {100, 20});
    QTest::mouseRelease(title(), Qt::LeftButton, {}, {100, 20});

    QTest::mousePress(title(), GetParam().button, {}, {41, 7});
    EXPECT_EQ(window->dragAnchor(), QPoint(615, 105));
    QTest::mouseMove(title(), {90, 30});
    EXPECT_EQ(window->pos(), start);
    QTest::mouseRelease(title(), GetParam().button, {}, {90, 30});
}

INSTANTIATE_TEST_SUITE_P(Buttons, DragButtonTest,
                         ::testing::Values(ButtonCase {"Right", Qt::RightButton},
                                           ButtonCase {"Middle", Qt::MiddleButton}));

TEST_F(WindowBehaviourTest, LeftAndRightTogetherDoNotMoveTheWindow)
{
    const QPoint start = window->pos();
    QTest::mousePress(title(), Qt::LeftButton, {}, {100, 20});
    QTest::mousePress(title(), Qt::RightButton, {}, {101, 21});
    EXPECT_EQ(window->dragAnchor(), QPoint(1515, 315));
    QTest::mouseMove(title(), {150, 40});
    EXPECT_EQ(window->pos(), start);
    QTest::mouseRelease(title(), Qt::RightButton, {}, {150, 40});
    QTest::mouseRelease(title(), Qt::LeftButton, {}, {150, 40});
}

TEST_F(WindowBehaviourTest, TheAnchorRoundsHalvesToTheEvenTwip)
{
    struct Case {
        double pixels;
        int twips;
    };
    for (const Case c : {Case {0.5, 8}, Case {1.5, 22}, Case {0.25, 4}, Case {2.1, 32}}) {
        sendToTitle(QEvent::MouseButtonPress, {c.pixels, c.pixels}, Qt::LeftButton, Qt::LeftButton);
        EXPECT_EQ(window->dragAnchor(), QPoint(c.twips, c.twips)) << c.pixels;
        sendToTitle(QEvent::MouseButtonRelease, {c.pixels, c.pixels}, Qt::LeftButton, Qt::NoButton);
    }
}

TEST_F(WindowBehaviourTest, EnterInATextBoxReachesItAndMovesTheFocusOn)
{
    auto* txtData = control<QLineEdit>("txtData");
    txtData->setFocus();
    QSignalSpy reached(txtData, &QLineEdit::returnPressed);
    QTest::keyClick(txtData, Qt::Key_Return);
    EXPECT_EQ(reached.count(), 1);
    settle();
    EXPECT_EQ(focused(), control("txtStop"));
    EXPECT_EQ(txtData->text(), QStringLiteral("8"));

    QTest::keyClick(focused(), Qt::Key_Enter, Qt::KeypadModifier);
    settle();
    EXPECT_EQ(focused(), control("cmbProcess"));
}

TEST_F(WindowBehaviourTest, EnterInAComboBoxMovesTheFocusOnAndLeavesItsText)
{
    auto* cmbBaud = control<QComboBox>("cmbBaud");
    cmbBaud->setFocus();
    QTest::keyClick(cmbBaud, Qt::Key_Return);
    settle();
    EXPECT_EQ(focused(), control("txtData"));
    EXPECT_EQ(cmbBaud->currentText(), QStringLiteral("115200"));
    EXPECT_EQ(cmbBaud->currentIndex(), -1);

    // In the direction box Enter must not count as choosing the entry shown.
    window->postMessage(QStringLiteral("kept"));
    control("cmbProcess")->setFocus();
    QTest::keyClick(control("cmbProcess"), Qt::Key_Return);
    settle();
    EXPECT_EQ(focused(), control("txtFile"));
    EXPECT_EQ(eventCount(), 1);
}

TEST_F(WindowBehaviourTest, TypingInTheComboBoxesChangesNothing)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("999"));
    for (const char* name : {"cmbBaud", "cmbPort", "cmbProcess"}) {
        auto* combo = control<QComboBox>(name);
        combo->setFocus();
        const QString text = combo->currentText();
        const int index = combo->currentIndex();

        QTest::keyClicks(combo, QStringLiteral("12a "));
        QTest::keyClick(combo, Qt::Key_Backspace);
        QTest::keyClick(combo, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(combo, Qt::Key_Insert, Qt::ShiftModifier);
        combo->lineEdit()->selectAll();
        QTest::keyClick(combo, Qt::Key_X, Qt::ControlModifier);
        QTest::keyClick(combo, Qt::Key_Z, Qt::ControlModifier);
        settle();

        EXPECT_EQ(combo->currentText(), text) << name;
        EXPECT_EQ(combo->currentIndex(), index) << name;
        EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("999")) << name;
    }
}

TEST_F(WindowBehaviourTest, ArrowKeysStillChooseEntries)
{
    auto* cmbBaud = control<QComboBox>("cmbBaud");
    cmbBaud->setFocus();
    cmbBaud->setCurrentIndex(2);
    QTest::keyClick(cmbBaud, Qt::Key_Down);
    EXPECT_EQ(cmbBaud->currentText(), QStringLiteral("3600"));
    QTest::keyClick(cmbBaud, Qt::Key_Up);
    QTest::keyClick(cmbBaud, Qt::Key_Up);
    EXPECT_EQ(cmbBaud->currentText(), QStringLiteral("1800"));
}

TEST_F(WindowBehaviourTest, ReleasingDeleteSelectsTheFirstEntry)
{
    auto* cmbBaud = control<QComboBox>("cmbBaud");
    cmbBaud->setFocus();
    cmbBaud->lineEdit()->setCursorPosition(0);
    QTest::keyPress(cmbBaud, Qt::Key_Delete);
    EXPECT_EQ(cmbBaud->currentText(), QStringLiteral("15200"));
    QTest::keyRelease(cmbBaud, Qt::Key_Delete);
    EXPECT_EQ(cmbBaud->currentIndex(), 0);
    EXPECT_EQ(cmbBaud->currentText(), QStringLiteral("1200"));

    // Already on the first entry, the erased text comes back all the same.
    cmbBaud->lineEdit()->setCursorPosition(0);
    QTest::keyClick(cmbBaud, Qt::Key_Delete);
    EXPECT_EQ(cmbBaud->currentText(), QStringLiteral("1200"));

    // A port box with no ports found is left as it is.
    auto* cmbPort = control<QComboBox>("cmbPort");
    cmbPort->clear();
    cmbPort->setFocus();
    QTest::keyClick(cmbPort, Qt::Key_Delete);
    EXPECT_EQ(cmbPort->currentIndex(), -1);
    EXPECT_EQ(cmbPort->currentText(), QString());
}

TEST_F(WindowBehaviourTest, DeleteInTheDirectionBoxSwitchesBackToPcToHhc)
{
    window->transferState().strPc2HhcFile = QStringLiteral("C:\\DATA\\SEND.TXT");
    window->transferState().strHhc2PcFile = QStringLiteral("recv file.txt");
    window->setProcessIndex(1);
    auto* cmbProcess = control<QComboBox>("cmbProcess");
    auto* txtFile = control<QLineEdit>("txtFile");
    EXPECT_EQ(txtFile->text(), QStringLiteral("recv file.txt"));

    window->postMessage(QStringLiteral("an event"));
    window->records().append(QStringLiteral("a record"));
    cmbProcess->setFocus();
    QTest::keyClick(cmbProcess, Qt::Key_Delete);

    EXPECT_EQ(cmbProcess->currentIndex(), 0);
    EXPECT_EQ(cmbProcess->currentText(), QStringLiteral("PC->HHC"));
    EXPECT_EQ(txtFile->text(), QStringLiteral("C:\\DATA\\SEND.TXT"));
    EXPECT_EQ(eventCount(), 0);
    EXPECT_EQ(window->records().count(), 0);
    EXPECT_EQ(window->lastMessage(), QStringLiteral("an event"));
}

TEST_F(WindowBehaviourTest, EverySelectionOfADirectionShowsItsPathAndEmptiesBothLists)
{
    window->transferState().strPc2HhcFile = QStringLiteral("send.txt");
    window->transferState().strHhc2PcFile = QStringLiteral("recv.txt");
    auto* txtFile = control<QLineEdit>("txtFile");
    auto* cmbProcess = control<QComboBox>("cmbProcess");
    auto fillLists = [this] {
        window->postMessage(QStringLiteral("an event"));
        window->records().append(QStringLiteral("a record"));
    };

    // From code, including the entry already selected.
    for (const int index : {0, 0, 1, 1, 0}) {
        fillLists();
        window->setProcessIndex(index);
        EXPECT_EQ(txtFile->text(), index == 0 ? QStringLiteral("send.txt") : QStringLiteral("recv.txt"));
        EXPECT_EQ(eventCount(), 0) << index;
        EXPECT_EQ(window->records().count(), 0) << index;
    }
    fillLists();
    cmbProcess->setCurrentIndex(1);
    EXPECT_EQ(txtFile->text(), QStringLiteral("recv.txt"));
    EXPECT_EQ(eventCount(), 0);

    // By the operator, with the arrow keys.
    fillLists();
    cmbProcess->setFocus();
    QTest::keyClick(cmbProcess, Qt::Key_Up);
    EXPECT_EQ(txtFile->text(), QStringLiteral("send.txt"));
    EXPECT_EQ(eventCount(), 0);
    EXPECT_EQ(window->records().count(), 0);
}

TEST_F(WindowBehaviourTest, ChoosingTheSelectedDirectionFromTheListRunsTheSelectionAgain)
{
    window->transferState().strPc2HhcFile = QStringLiteral("send.txt");
    auto* cmbProcess = control<QComboBox>("cmbProcess");
    window->setProcessIndex(0);
    auto* txtFile = control<QLineEdit>("txtFile");
    txtFile->setText(QStringLiteral("changed meanwhile"));
    window->postMessage(QStringLiteral("an event"));

    cmbProcess->showPopup();
    QAbstractItemView* popup = cmbProcess->view();
    ASSERT_TRUE(waitFor([popup] {
        QCoreApplication::processEvents();
        return popup->isVisible();
    }));
    const QPoint first = popup->visualRect(popup->model()->index(0, 0)).center();
    QTest::mouseMove(popup->viewport(), first);
    QTest::mouseClick(popup->viewport(), Qt::LeftButton, {}, first);
    settle();

    EXPECT_EQ(cmbProcess->currentIndex(), 0);
    EXPECT_EQ(txtFile->text(), QStringLiteral("send.txt"));
    EXPECT_EQ(eventCount(), 0);
}

TEST_F(WindowBehaviourTest, PicHelpOpensTheAboutBoxModally)
{
    EXPECT_TRUE(opensAboutBox([this] { QTest::mouseClick(control("PicHelp"), Qt::LeftButton); }));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(WindowBehaviourTest, PicCloseClosesTheWindow)
{
    QTest::mouseClick(control("PicClose"), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
}

} // namespace
} // namespace ql::test
