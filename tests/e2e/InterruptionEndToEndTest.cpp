#include "TransferWindowFixture.h"

#include "app/mdlMainModule.h"
#include "common/ProcessSignals.h"
#include "eventlog/Messages.h"
#include "hhcsim/DataFile.h"
#include "support/WaitFor.h"

#include <QCoreApplication>
#include <QFile>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

namespace ql::test {
namespace {

void postMouse(QWidget* widget, QEvent::Type type, Qt::MouseButtons held)
{
    const QPointF spot = QRectF(widget->rect()).center();
    QCoreApplication::postEvent(widget, new QMouseEvent(type, spot, widget->mapToGlobal(spot), Qt::LeftButton, held,
                                                        Qt::NoModifier));
}

class AbortRightAfterStart : public TransferWindowTest, public ::testing::WithParamInterface<QEvent::Type> {};

// The window system delivers the second press of a double click to whatever shows
// at the spot by then: Abort, once the first click has started the run.
TEST_P(AbortRightAfterStart, AbortsTheRun)
{
    startDevice(deviceOptions(hhcsim::Mode::Send, numberedRecords(3)));
    const QString path = dataPath(QStringLiteral("received.txt"));
    chooseHhcToPc(path);

    postMouse(control("PicStart"), QEvent::MouseButtonPress, Qt::LeftButton);
    postMouse(control("PicStart"), QEvent::MouseButtonRelease, Qt::NoButton);
    postMouse(control("PicAbort"), GetParam(), Qt::LeftButton);
    postMouse(control("PicAbort"), QEvent::MouseButtonRelease, Qt::NoButton);
    ASSERT_TRUE(waitFor([this] {
        QCoreApplication::processEvents();
        return !window().isRunning() && !events().isEmpty();
    }));

    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(events().contains(msg::kReceptionCompleted));
    EXPECT_TRUE(control("PicStart")->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Presses, AbortRightAfterStart,
                         ::testing::Values(QEvent::MouseButtonPress, QEvent::MouseButtonDblClick),
                         [](const ::testing::TestParamInfo<QEvent::Type>& param) {
                             return std::string(param.param == QEvent::MouseButtonPress ? "Click" : "DoubleClick");
                         });

struct Interruption {
    const char* name;
    void (*act)(QWidget& window);
    bool closes; // the window as well as the run
};

void PrintTo(const Interruption& interruption, std::ostream* out)
{
    *out << interruption.name;
}

class InterruptedReception : public TransferWindowTest, public ::testing::WithParamInterface<Interruption> {};

// Logout, shutdown, Ctrl+C in the terminal, the close keys and the application
// quitting (Windows asks at session end) end a reception as Abort does, and the
// program ends. exit() makes every event loop return at once, so no wait sleeps.
// The device is paced: a run that went on would end complete instead.
TEST_P(InterruptedReception, KeepsWhatArrivedAndEndsTheProgram)
{
    TerminationSignals::install();
    QObject watch;
    closeWindowsOnTerminationSignal(watch);
    auto options = deviceOptions(hhcsim::Mode::Send, numberedRecords(12));
    options.faults.baud = 2400;
    startDevice(options);
    const QString path = dataPath(QStringLiteral("received.txt"));
    chooseHhcToPc(path);

    whileRunning([this] { return status() == QLatin1String("3"); }, [this] { GetParam().act(window()); });
    QTimer::singleShot(0, &window(), [this] { QTest::mouseClick(control("PicStart"), Qt::LeftButton); });
    QTimer::singleShot(std::chrono::seconds(20), &window(), [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);

    const QStringList log = events();
    EXPECT_FALSE(log.contains(msg::kReceptionCompleted));
    EXPECT_GE(records().size(), 3);
    EXPECT_EQ(readFile(path), hhcsim::formatDataFile(records()));
    const int kept = static_cast<int>(records().size());
    EXPECT_EQ(log.mid(log.size() - 3),
              (QStringList {msg::kSavingFile, msg::writtenRecords(kept), msg::receptionAborted(kept, path)}));
    EXPECT_FALSE(window().serialControl()->PortOpen());
    EXPECT_EQ(window().isVisible(), !GetParam().closes);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, InterruptedReception,
    ::testing::Values(
        Interruption {"TERM", [](QWidget&) { std::raise(SIGTERM); }, true},
        Interruption {"INT", [](QWidget&) { std::raise(SIGINT); }, true},
        Interruption {"HUP", [](QWidget&) { std::raise(SIGHUP); }, true},
        Interruption {"CtrlQ", [](QWidget& w) { QTest::keySequence(&w, frmMainWin::kCloseKeys[0]); }, true},
        Interruption {"AltF4", [](QWidget& w) { QTest::keySequence(&w, frmMainWin::kCloseKeys[1]); }, true},
        Interruption {"Quit", [](QWidget&) { QCoreApplication::quit(); }, true},
        Interruption {"Exit", [](QWidget&) { QCoreApplication::exit(0); }, false}),
    [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace ql::test
