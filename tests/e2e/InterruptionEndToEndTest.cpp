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
    int signal;       // raised, or
    QKeySequence key; // pressed on the window
};

void PrintTo(const Interruption& interruption, std::ostream* out)
{
    *out << interruption.name;
}

class CloseDuringReception : public TransferWindowTest, public ::testing::WithParamInterface<Interruption> {};

// Logout, shutdown, Ctrl+C in the terminal and the close keys end a reception as
// Abort does, then close the window.
TEST_P(CloseDuringReception, KeepsWhatArrivedAndClosesTheWindow)
{
    TerminationSignals::install();
    QObject watch;
    closeWindowsOnTerminationSignal(watch);
    const QByteArrayList sent = numberedRecords(8);
    auto options = deviceOptions(hhcsim::Mode::Send, sent);
    options.faults.stopAfter = 3;
    startDevice(options);
    const QString path = dataPath(QStringLiteral("received.txt"));
    chooseHhcToPc(path);

    whileRunning([this] { return status() == QLatin1String("3"); },
                 [this] {
                     if (GetParam().signal != 0)
                         std::raise(GetParam().signal);
                     else
                         QTest::keySequence(&window(), GetParam().key);
                 });
    QTest::mouseClick(control("PicStart"), Qt::LeftButton);

    const QByteArrayList kept = sent.mid(0, 3);
    EXPECT_EQ(records(), kept);
    EXPECT_EQ(readFile(path), hhcsim::formatDataFile(kept));
    const QStringList log = events();
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log.mid(log.size() - 2), (QStringList {msg::kSavingFile, msg::writtenRecords(3)}));
    EXPECT_FALSE(window().serialControl()->PortOpen());
    EXPECT_FALSE(window().isVisible());
}

INSTANTIATE_TEST_SUITE_P(Ways, CloseDuringReception,
                         ::testing::Values(Interruption {"TERM", SIGTERM, {}}, Interruption {"INT", SIGINT, {}},
                                           Interruption {"HUP", SIGHUP, {}},
                                           Interruption {"CtrlQ", 0, frmMainWin::kCloseKeys.at(0)},
                                           Interruption {"AltF4", 0, frmMainWin::kCloseKeys.at(1)}),
                         [](const auto& param) { return std::string(param.param.name); });

struct QuitRoad {
    const char* name;
    void (*ask)();
};

void PrintTo(const QuitRoad& road, std::ostream* out)
{
    *out << road.name;
}

class QuitDuringReception : public TransferWindowTest, public ::testing::WithParamInterface<QuitRoad> {};

// The application asked to quit (Windows asks at session end): quit() closes the
// window first, exit() makes every event loop return at once, so that no wait
// sleeps. Either way the reception ends as Abort does and the program ends. The
// device is paced, so a run that went on would end complete instead.
TEST_P(QuitDuringReception, KeepsWhatArrivedAndEndsTheProgram)
{
    auto options = deviceOptions(hhcsim::Mode::Send, numberedRecords(12));
    options.faults.baud = 2400;
    startDevice(options);
    const QString path = dataPath(QStringLiteral("received.txt"));
    chooseHhcToPc(path);

    whileRunning([this] { return status() == QLatin1String("3"); }, GetParam().ask);
    QTimer::singleShot(0, &window(), [this] { QTest::mouseClick(control("PicStart"), Qt::LeftButton); });
    EXPECT_EQ(QCoreApplication::exec(), 0);

    EXPECT_FALSE(window().isRunning());
    EXPECT_FALSE(events().contains(msg::kReceptionCompleted));
    EXPECT_GE(records().size(), 3);
    EXPECT_EQ(readFile(path), hhcsim::formatDataFile(records()));
    EXPECT_FALSE(window().serialControl()->PortOpen());
}

INSTANTIATE_TEST_SUITE_P(Roads, QuitDuringReception,
                         ::testing::Values(QuitRoad {"Quit", &QCoreApplication::quit},
                                           QuitRoad {"Exit", [] { QCoreApplication::exit(0); }}),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace ql::test
