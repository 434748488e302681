#include "TransferWindowFixture.h"

#include "app/mdlMainModule.h"
#include "common/ProcessSignals.h"
#include "eventlog/Messages.h"
#include "hhcsim/DataFile.h"
#include "support/WaitFor.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace ql::test {
namespace {

using Kind = hhcsim::DeviceEvent::Kind;

void postMouse(QWidget* widget, QEvent::Type type, Qt::MouseButtons held)
{
    const QPointF spot = QRectF(widget->rect()).center();
    QCoreApplication::postEvent(widget, new QMouseEvent(type, spot, widget->mapToGlobal(spot), Qt::LeftButton, held,
                                                        Qt::NoModifier));
}

// The window system delivers the second press of a double click to whatever shows
// at the spot by then, here while the run started by the first click is on.
TEST_F(TransferWindowTest, DoubleClickOnStartRunsOnceToTheEnd)
{
    const QByteArrayList sent = numberedRecords(3);
    startDevice(deviceOptions(hhcsim::Mode::Send, sent));
    const QString path = dataPath(QStringLiteral("received.txt"));
    chooseHhcToPc(path);

    postMouse(control("PicStart"), QEvent::MouseButtonPress, Qt::LeftButton);
    postMouse(control("PicStart"), QEvent::MouseButtonRelease, Qt::NoButton);
    postMouse(control("PicAbort"), QEvent::MouseButtonDblClick, Qt::LeftButton);
    postMouse(control("PicAbort"), QEvent::MouseButtonRelease, Qt::NoButton);
    ASSERT_TRUE(waitFor([this] {
        QCoreApplication::processEvents();
        return !window().isRunning() && !events().isEmpty();
    }));

    EXPECT_EQ(readFile(path), hhcsim::formatDataFile(sent));
    const QStringList log = events();
    ASSERT_GE(log.size(), 3);
    EXPECT_EQ(log.mid(log.size() - 3), (QStringList {msg::kReceptionCompleted, msg::kSavingFile, msg::writtenRecords(3)}));
    EXPECT_EQ(device().eventsOf(Kind::SessionEnded).size(), 1U);
    EXPECT_TRUE(control("PicStart")->isVisible());
}

class TerminationSignal : public TransferWindowTest, public ::testing::WithParamInterface<int> {};

// Logout, shutdown and Ctrl+C in the terminal end a reception as Abort does.
TEST_P(TerminationSignal, DuringReceptionKeepsWhatArrivedAndClosesTheWindow)
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

    whileRunning([this] { return status() == QLatin1String("3"); }, [] { std::raise(GetParam()); });
    QTest::mouseClick(control("PicStart"), Qt::LeftButton);

    const QByteArrayList kept = sent.mid(0, 3);
    EXPECT_EQ(records(), kept);
    EXPECT_EQ(readFile(path), hhcsim::formatDataFile(kept));
    const QStringList log = events();
    ASSERT_GE(log.size(), 3);
    EXPECT_EQ(log.mid(log.size() - 3),
              (QStringList {msg::kSavingFile, msg::writtenRecords(3), msg::receptionAborted(3, path)}));
    EXPECT_FALSE(window().serialControl()->PortOpen());
    EXPECT_FALSE(window().isVisible());
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminationSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& param) {
                             return std::string(sigabbrev_np(param.param));
                         });

} // namespace
} // namespace ql::test
