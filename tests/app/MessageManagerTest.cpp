#include "MainWindowFixture.h"

#include "eventlog/Messages.h"
#include "records/RecordList.h"

#include <QLabel>
#include <QListView>

namespace ql::test {
namespace {

class MessageManagerTest : public MainWindowTest {
protected:
    QListView* events() const { return control<QListView>("lstEvents"); }
    QListView* recordsView() const { return control<QListView>("lstRecords"); }
    QString status() const { return control<QLabel>("lblStatus")->text(); }

    QStringList entries() const
    {
        QStringList list;
        const QAbstractItemModel* model = events()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            list.append(model->index(row, 0).data().toString());
        return list;
    }

    // Fills more of the list than it can show, so that scrolling matters.
    void overfill()
    {
        for (int i = 0; i < 60; ++i)
            window->postMessage(QStringLiteral("filler %1").arg(i));
    }

    static bool lastEntryInView(const QListView& list)
    {
        const QModelIndex last = list.model()->index(list.model()->rowCount() - 1, 0);
        const QRect shown = list.visualRect(last);
        return !shown.isEmpty() && list.viewport()->rect().contains(shown);
    }

    static bool noneHighlighted(const QListView& list)
    {
        return list.selectionModel()->selectedIndexes().isEmpty() && !list.currentIndex().isValid();
    }
};

TEST_F(MessageManagerTest, TwoPostingsStandInOrderWithTheSecondInViewAndNoneHighlighted)
{
    overfill();
    window->postMessage(msg::kPleaseWait);
    window->postMessage(msg::kTransferSucceeded);

    const QStringList list = entries();
    ASSERT_EQ(list.size(), 62);
    EXPECT_EQ(list.at(60), QStringLiteral("Plase wait . . ."));
    EXPECT_EQ(list.at(61), QStringLiteral("Data transfered successfuly . . ."));
    EXPECT_TRUE(lastEntryInView(*events()));
    EXPECT_TRUE(noneHighlighted(*events()));
    EXPECT_EQ(status(), msg::kTransferSucceeded);
    EXPECT_EQ(window->lastMessage(), msg::kTransferSucceeded);
    EXPECT_EQ(control<QLabel>("lblMsgMgr")->text(), msg::kTransferSucceeded);
}

TEST_F(MessageManagerTest, PostedTextsAreStoredVerbatim)
{
    const QStringList texts {QStringLiteral("  leading and trailing blanks  "), QStringLiteral("two\r\nlines"),
                             QString(), QString::fromLatin1("bytes \xe9\xff")};
    for (const QString& text : texts)
        window->postMessage(text);
    EXPECT_EQ(entries(), texts);
}

TEST_F(MessageManagerTest, PostingWhileTheRecordsAreShownLeavesTheViewAlone)
{
    window->records().append(QStringLiteral("record"));
    window->SwitchListView(QStringLiteral("F"));
    overfill();
    window->postMessage(msg::foundRecords(1));

    EXPECT_TRUE(recordsView()->isVisible());
    EXPECT_FALSE(events()->isVisible());
    EXPECT_TRUE(control("ImgViewEvnt")->isVisible());
    EXPECT_FALSE(control("ImgViewFile")->isVisible());
    EXPECT_EQ(status(), QStringLiteral("Found 1 records"));
    EXPECT_EQ(entries().constLast(), QStringLiteral("Found 1 records"));

    // Back on the events, the newest entry is the one in view.
    window->SwitchListView(QStringLiteral("E"));
    settle();
    EXPECT_TRUE(lastEntryInView(*events()));
    EXPECT_TRUE(noneHighlighted(*events()));
}

struct ViewCase {
    const char* code;
    bool records;
};

void PrintTo(const ViewCase& c, std::ostream* out)
{
    *out << '"' << c.code << '"';
}

class SwitchListViewTest : public MessageManagerTest, public ::testing::WithParamInterface<ViewCase> {};

TEST_P(SwitchListViewTest, OnlyACapitalFAloneShowsTheRecords)
{
    const ViewCase& c = GetParam();
    // From either view, so that both branches must act.
    for (const char* from : {"F", "E"}) {
        window->SwitchListView(QString::fromLatin1(from));
        window->SwitchListView(QString::fromLatin1(c.code));
        EXPECT_EQ(recordsView()->isVisible(), c.records) << from;
        EXPECT_EQ(control("ImgViewEvnt")->isVisible(), c.records) << from;
        EXPECT_EQ(events()->isVisible(), !c.records) << from;
        EXPECT_EQ(control("ImgViewFile")->isVisible(), !c.records) << from;
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, SwitchListViewTest,
                         ::testing::Values(ViewCase {"F", true}, ViewCase {"E", false}, ViewCase {"f", false},
                                           ViewCase {"", false}, ViewCase {"F ", false}, ViewCase {" F", false},
                                           ViewCase {"FF", false}));

TEST_F(MessageManagerTest, TheViewButtonsSwitchBackAndForth)
{
    const QPoint spot = control("ImgViewFile")->geometry().center();
    QWidget* process = control("fmProcesses");

    // Before any switch both buttons lie here; the records button is on top.
    QTest::mouseClick(process->childAt(spot), Qt::LeftButton);
    EXPECT_TRUE(recordsView()->isVisible());
    EXPECT_FALSE(events()->isVisible());

    QTest::mouseClick(process->childAt(spot), Qt::LeftButton);
    EXPECT_TRUE(events()->isVisible());
    EXPECT_FALSE(recordsView()->isVisible());

    // Only the left button clicks.
    QTest::mouseClick(process->childAt(spot), Qt::RightButton);
    EXPECT_TRUE(events()->isVisible());
}

TEST_F(MessageManagerTest, ClickingAnEntryOfEitherListLeavesNoneSelected)
{
    for (int i = 0; i < 3; ++i)
        window->postMessage(QStringLiteral("event %1").arg(i));
    QTest::mouseClick(events()->viewport(), Qt::LeftButton, {},
                      events()->visualRect(events()->model()->index(1, 0)).center());
    settle();
    EXPECT_TRUE(noneHighlighted(*events()));

    window->records().assign({QStringLiteral("a"), QStringLiteral("b")});
    window->SwitchListView(QStringLiteral("F"));
    QTest::mouseClick(recordsView()->viewport(), Qt::LeftButton, {},
                      recordsView()->visualRect(recordsView()->model()->index(0, 0)).center());
    settle();
    EXPECT_TRUE(noneHighlighted(*recordsView()));

    // Setting the current entry from code is a click too.
    recordsView()->setCurrentIndex(recordsView()->model()->index(1, 0));
    EXPECT_TRUE(noneHighlighted(*recordsView()));
}

TEST_F(MessageManagerTest, NeitherListKeepsTheFocus)
{
    for (const char* view : {"E", "F"}) {
        window->SwitchListView(QString::fromLatin1(view));
        QListView* list = QString::fromLatin1(view) == QLatin1String("F") ? recordsView() : events();
        control("txtStop")->setFocus();
        list->setFocus(Qt::MouseFocusReason);
        EXPECT_EQ(focused(), list);
        settle();
        EXPECT_EQ(focused(), control("cmbPort")) << view;

        QTest::mouseClick(list->viewport(), Qt::LeftButton);
        settle();
        EXPECT_NE(focused(), list) << view;
    }
}

TEST_F(MessageManagerTest, StatusTextsAreNeverLogged)
{
    window->postMessage(msg::kWaitingBeginRequest);
    for (int i = 1; i <= 5; ++i)
        window->showStatus(QString(i, QLatin1Char('o')));
    EXPECT_EQ(status(), QStringLiteral("ooooo"));
    EXPECT_EQ(entries(), QStringList {msg::kWaitingBeginRequest});
    EXPECT_EQ(window->lastMessage(), msg::kWaitingBeginRequest);
}

TEST_F(MessageManagerTest, ClearingEmptiesTheEventsOnly)
{
    window->postMessage(msg::kPleaseWait);
    window->records().append(QStringLiteral("kept"));
    window->clearEvents();
    EXPECT_TRUE(entries().isEmpty());
    EXPECT_EQ(window->records().count(), 1);
    EXPECT_EQ(status(), msg::kPleaseWait);
}

TEST_F(MessageManagerTest, SettingsAreDisabledAndEnabledAsAWhole)
{
    window->EnableSettings(false);
    for (const char* name : {"fmSettings", "fmProcesses", "cmbPort", "cmbBaud", "cmbProcess", "txtFile", "cmdBrowse",
                             "ImgViewFile"})
        EXPECT_FALSE(control(name)->isEnabled()) << name;
    EXPECT_TRUE(control("PicStart")->isEnabled());
    window->EnableSettings(true);
    for (const char* name : {"fmSettings", "fmProcesses", "cmbPort", "cmbProcess"})
        EXPECT_TRUE(control(name)->isEnabled()) << name;
}

TEST_F(MessageManagerTest, TheHostReadsTheSettingsControls)
{
    const TransferRequest request = window->transferRequest();
    EXPECT_EQ(request.line.port, QString());
    EXPECT_EQ(request.line.baud, QStringLiteral("115200"));
    EXPECT_EQ(request.line.dataBits, QStringLiteral("8"));
    EXPECT_EQ(request.line.stopBits, QStringLiteral("1"));
    EXPECT_EQ(request.direction, Direction::PcToHhc);
    EXPECT_EQ(request.file, QString());
    EXPECT_EQ(&window->records(), control<QListView>("lstRecords")->model());
}

} // namespace
} // namespace ql::test
