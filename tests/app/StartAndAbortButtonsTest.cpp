#include "LoadedWindowFixture.h"
#include "WindowContents.h"

#include "app/WindowControls.h"
#include "eventlog/Messages.h"
#include "records/RecordList.h"

#include <QLabel>
#include <QListView>
#include <QTimer>

#include <cerrno>
#include <optional>
#include <stdexcept>

namespace ql::test {
namespace {

using Op = FakeSerialControl::Op;

struct ButtonsAndFrames {
    bool abort;
    bool start;
    bool close;
    bool help;
    bool settings;
    bool processes;
    bool running;
    bool operator==(const ButtonsAndFrames&) const = default;
};

void PrintTo(const ButtonsAndFrames& s, std::ostream* out)
{
    *out << "abort " << s.abort << " start " << s.start << " close " << s.close << " help " << s.help
         << " settings " << s.settings << " processes " << s.processes << " running " << s.running;
}

constexpr ButtonsAndFrames kIdle {false, true, true, true, true, true, false};
constexpr ButtonsAndFrames kRunning {true, false, false, false, false, false, true};

// A PC->HHC run on port 1 with one record in the list, ready to start.
class StartCommand : public LoadedWindowTest {
protected:
    void SetUp() override
    {
        load(QStringLiteral("records.txt#received.txt"));
        window->records().assign({QStringLiteral("R")});
        serial->calls.clear();
    }

    ButtonsAndFrames buttonsAndFrames() const
    {
        return {control("PicAbort")->isVisible(), control("PicStart")->isVisible(), control("PicClose")->isVisible(),
                control("PicHelp")->isVisible(),  control("fmSettings")->isEnabled(),
                control("fmProcesses")->isEnabled(), window->isRunning()};
    }

    // Runs once, at the run's first read of the port, from inside the run.
    void atFirstInput(std::function<void()> action)
    {
        serial->onCall = [this, action, done = false](const FakeSerialControl::Call& call) mutable {
            if (call.op != Op::Input || done)
                return;
            done = true;
            action();
        };
    }

    int closesOfThePort() const
    {
        int closes = 0;
        for (const auto& call : serial->calls)
            closes += call.op == Op::SetPortOpen && call.value == QLatin1String("false");
        return closes;
    }

    QStringList events() const { return rows(*control<QListView>("lstEvents")); }
    QString status() const { return control<QLabel>("lblStatus")->text(); }
};

TEST_F(StartCommand, ShowsOnlyAbortAndLocksTheSettingsWhileRunningThenRestoresThem)
{
    std::optional<ButtonsAndFrames> during;
    atFirstInput([&] {
        during = buttonsAndFrames();
        serial->feed(QStringLiteral("^"));
    });

    click("PicStart");

    ASSERT_TRUE(during.has_value());
    EXPECT_EQ(*during, kRunning);
    EXPECT_EQ(buttonsAndFrames(), kIdle);
    EXPECT_EQ(events().first(), msg::kPleaseWait);
    EXPECT_EQ(events().last(), msg::kTransferSucceeded);
    EXPECT_EQ(status(), msg::kTransferSucceeded);
    EXPECT_FALSE(serial->portOpen);
}

TEST_F(StartCommand, AbortEndsTheRunThroughItsFailureEndingAndClosesThePortOnce)
{
    std::optional<ButtonsAndFrames> afterAbort;
    qsizetype eventsBeforeSecondAbort = 0;
    qsizetype eventsAfterSecondAbort = 0;
    atFirstInput([&] {
        // Clicked as the operator would: handled in the run's next yield to the window.
        QTimer::singleShot(0, window.get(), [&] {
            click("PicAbort");
            eventsBeforeSecondAbort = events().size();
            click("PicAbort");
            eventsAfterSecondAbort = events().size();
            afterAbort = buttonsAndFrames();
        });
    });

    click("PicStart");

    ASSERT_TRUE(afterAbort.has_value());
    EXPECT_EQ(*afterAbort, kRunning) << "Abort changes no button";
    EXPECT_EQ(eventsAfterSecondAbort, eventsBeforeSecondAbort) << "Abort with the port closed posts nothing";
    EXPECT_EQ(closesOfThePort(), 1);
    const QStringList log = events();
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log.at(log.size() - 2), msg::kTransferFailed);
    EXPECT_EQ(log.last(), msg::kPortClosedByAbort);
    EXPECT_EQ(status(), log.last());
    EXPECT_EQ(buttonsAndFrames(), kIdle);
}

TEST_F(StartCommand, AClickOnStartArrivingDuringTheRunStartsNoSecondRun)
{
    atFirstInput([&] {
        emit control<PictureBox>("PicStart")->clicked();
        serial->feed(QStringLiteral("^"));
    });

    click("PicStart");

    int opens = 0;
    for (const auto& call : serial->calls)
        opens += call.op == Op::SetPortOpen && call.value == QLatin1String("true");
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(events().count(msg::kPleaseWait), 1);
    EXPECT_EQ(status(), msg::kTransferSucceeded);
    EXPECT_EQ(buttonsAndFrames(), kIdle);
}

TEST_F(StartCommand, AFailureEscapingTheRunIsIgnoredAndTheButtonsComeBack)
{
    atFirstInput([] { throw std::runtime_error("not a failure the transfer knows"); });

    click("PicStart");

    EXPECT_EQ(buttonsAndFrames(), kIdle);
    EXPECT_EQ(status(), events().last());
}

TEST_F(StartCommand, APortThatFailsToOpenIsFollowedByTheWarningThatExplainsIt)
{
    QProcessEnvironment environment;
    environment.insert(PortMap::variableName(1), QStringLiteral("/nonexistent/ttyQ1"));
    window->setPortNames(PortMap::fromRule(environment, {}));
    serial->onCall = [](const FakeSerialControl::Call& call) {
        if (call.op == Op::SetPortOpen && call.value == QLatin1String("true"))
            throw Failure(ENOENT, QStringLiteral("Cannot open /nonexistent/ttyQ1"));
    };

    click("PicStart");

    const QStringList posted = events();
    ASSERT_GE(posted.size(), 3);
    EXPECT_EQ(posted.mid(posted.size() - 3, 2),
              (QStringList {msg::kErrorOpeningPort, QStringLiteral("Cannot open /nonexistent/ttyQ1")}));
    EXPECT_TRUE(posted.last().startsWith(QStringLiteral("Warning: /nonexistent/ttyQ1 does not exist; ")))
        << posted.last().toStdString();
}

} // namespace
} // namespace ql::test
