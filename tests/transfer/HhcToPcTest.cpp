#include "TransferTestSupport.h"

#include "transfer/Transfers.h"

#include <gtest/gtest.h>

namespace ql::test {
namespace {

class HhcToPcTest : public TransferTest {
protected:
    HhcToPcTest() : TransferTest(Direction::HhcToPc) {}

    // The device sends `beginRequest` during the given pass of the begin wait and,
    // once answered, `reply`.
    void device(const QString& reply, const QString& beginRequest = QStringLiteral("^"), long long requestPass = 1)
    {
        waiter.onYield = [this, beginRequest, requestPass](long long pass) {
            if (pass == requestPass)
                port.feed(beginRequest);
        };
        port.onOutput = [reply](FakeSerialControl& control, const QString&) { control.feed(reply); };
    }

    // The Abort click, handled in the given pass.
    void abortAt(long long abortPass)
    {
        auto earlier = waiter.onYield;
        waiter.onYield = [this, earlier, abortPass](long long pass) {
            if (earlier)
                earlier(pass);
            if (pass == abortPass) {
                context.abort();
                port.setPortOpen(false);
            }
        };
    }

    TransferResult run() { return RunHhcToPc(context, request); }

    static QStringList waiting() { return {kStartedHhc2Pc, kConfigured, msg::kWaitingBeginRequest}; }
    static QStringList answered() { return waiting() << msg::kSentResponse; }
};

struct ReceiveCase {
    const char* name;
    QString sent;
    QStringList records;
};

class HhcToPcReceiveTest : public HhcToPcTest, public ::testing::WithParamInterface<ReceiveCase> {};

TEST_P(HhcToPcReceiveTest, CutsRecordsAtSeparatorsUntilEndCharacter)
{
    const ReceiveCase& c = GetParam();
    host.lstRecords.assign({"old1", "old2"});
    device(c.sent);

    EXPECT_EQ(run().outcome, Outcome::Succeeded);
    EXPECT_EQ(host.lstRecords.records(), c.records);
    QStringList counts;
    for (int i = 1; i <= c.records.size(); ++i)
        counts.append(QString::number(i));
    EXPECT_EQ(host.statuses, counts);
    EXPECT_EQ(host.eventsWithoutTime(), answered() << msg::kReceptionCompleted);
    EXPECT_EQ(port.written, QStringLiteral("^"));
    // One begin pass, then one pass per character.
    EXPECT_EQ(waiter.yields, 1 + c.sent.size());
    EXPECT_EQ(port.closes, 1);
    EXPECT_FALSE(port.PortOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Transmissions, HhcToPcReceiveTest,
    ::testing::Values(ReceiveCase {"ThreeRecords", "R1@R2@R3$", {"R1", "R2", "R3"}},
                      ReceiveCase {"EndAloneIsOneEmptyRecord", "$", {""}},
                      ReceiveCase {"EmptyRecords", "@@$", {"", "", ""}},
                      ReceiveCase {"BeginCharacterAndLineEndsAreData", "a^b\r\n@c$", {"a^b\r\n", "c"}},
                      ReceiveCase {"HighBytesAreData", QString::fromLatin1("\x80\xff@\xe9$"),
                                   {QString::fromLatin1("\x80\xff"), QString::fromLatin1("\xe9")}}),
    [](const ::testing::TestParamInfo<ReceiveCase>& param) { return std::string(param.param.name); });

TEST_F(HhcToPcTest, NoiseBeforeRequestAndAnythingBeforeAnswerAreDropped)
{
    device(QStringLiteral("R$"), QStringLiteral("xy^early@"));
    EXPECT_EQ(run().outcome, Outcome::Succeeded);
    EXPECT_EQ(host.lstRecords.records(), QStringList {"R"});
    EXPECT_EQ(waiter.yields, 3 + 2);
}

TEST_F(HhcToPcTest, ResponseIsLoggedBeforeAnswerLeaves)
{
    QString lastLoggedAtAnswer;
    waiter.onYield = [this](long long pass) {
        if (pass == 1)
            port.feed(QStringLiteral("^"));
    };
    port.onOutput = [&](FakeSerialControl& control, const QString&) {
        lastLoggedAtAnswer = host.events.last();
        control.feed(QStringLiteral("$"));
    };
    run();
    EXPECT_EQ(lastLoggedAtAnswer, msg::kSentResponse);
}

struct PassTimeCase {
    std::chrono::nanoseconds passTime;
    long long passes;
};

void PrintTo(const PassTimeCase& c, std::ostream* os)
{
    *os << c.passTime.count() << " ns a pass";
}

class HhcToPcPassTimeTest : public HhcToPcTest, public ::testing::WithParamInterface<PassTimeCase> {};

TEST_P(HhcToPcPassTimeTest, NoBeginRequestFailsAfterFifteenSecondsAndKeepsList)
{
    waiter.passTime = GetParam().passTime;
    host.lstRecords.assign({"old"});
    const TransferResult result = run();
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_EQ(result.reason, Reason::NoResponse);
    EXPECT_EQ(waiter.yields, GetParam().passes);
    EXPECT_EQ(port.countOf(FakeSerialControl::Op::Input), GetParam().passes);
    EXPECT_EQ(host.statuses, dots(10));
    EXPECT_EQ(host.eventsWithoutTime(), waiting() << msg::kDeviceNotResponding);
    EXPECT_EQ(host.lstRecords.records(), QStringList {"old"});
    EXPECT_TRUE(port.written.isEmpty());
    EXPECT_EQ(port.closes, 1);
}

INSTANTIATE_TEST_SUITE_P(Clock, HhcToPcPassTimeTest,
                         ::testing::Values(PassTimeCase {std::chrono::microseconds(5), 3000000},
                                           PassTimeCase {std::chrono::milliseconds(1), 15000}));

struct LateRequestCase {
    long long pass;
    bool received;
};

void PrintTo(const LateRequestCase& c, std::ostream* os)
{
    *os << "request in pass " << c.pass;
}

class HhcToPcLateRequestTest : public HhcToPcTest, public ::testing::WithParamInterface<LateRequestCase> {};

TEST_P(HhcToPcLateRequestTest, RequestInThePassOfTheTenthDotComesTooLate)
{
    device(QStringLiteral("$"), QStringLiteral("^"), GetParam().pass);
    const bool received = GetParam().received;
    EXPECT_EQ(run().outcome, received ? Outcome::Succeeded : Outcome::Failed);
    EXPECT_EQ(host.events.last(), received ? msg::kReceptionCompleted : msg::kDeviceNotResponding);
}

INSTANTIATE_TEST_SUITE_P(Bounds, HhcToPcLateRequestTest,
                         ::testing::Values(LateRequestCase {2999999, true},
                                           LateRequestCase {3000000, false}));

TEST_F(HhcToPcTest, AbortDuringBeginWaitKeepsList)
{
    host.lstRecords.assign({"old"});
    abortAt(100);
    const TransferResult result = run();
    EXPECT_EQ(result.outcome, Outcome::Aborted);
    EXPECT_EQ(result.records, 0);
    EXPECT_EQ(waiter.yields, 100);
    EXPECT_EQ(host.eventsWithoutTime(), waiting() << msg::kPortClosedByAbort);
    EXPECT_EQ(host.lstRecords.records(), QStringList {"old"});
    EXPECT_EQ(port.closes, 1);
}

TEST_F(HhcToPcTest, AbortDuringCharacterWaitKeepsRecordsReceived)
{
    device(QStringLiteral("R1@R2@R3"));
    abortAt(1000);
    const TransferResult result = run();
    EXPECT_EQ(result.outcome, Outcome::Aborted);
    EXPECT_EQ(result.records, 2);
    EXPECT_EQ(result.bytes, 6);
    EXPECT_EQ(waiter.yields, 1000);
    EXPECT_EQ(host.lstRecords.records(), (QStringList {"R1", "R2"}));
    EXPECT_EQ(host.statuses, (QStringList {"1", "2"}));
    // "R3" had no separator yet: never a record, and told so.
    EXPECT_EQ(result.receiving.droppedCharacters, 2);
    EXPECT_EQ(host.eventsWithoutTime(),
              answered() << msg::kPortClosedByAbort << msg::incompleteRecordDropped(2));
    EXPECT_EQ(port.closes, 1);
}

TEST_F(HhcToPcTest, DeviceVanishingMidRecordsEndsRunAndClosesPort)
{
    device(QStringLiteral("R1@R2"));
    waiter.onYield = [this, first = waiter.onYield](long long pass) {
        first(pass);
        if (pass == 20)
            port.vanishedText = QStringLiteral("Input/output error");
    };
    const TransferResult result = run();
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_EQ(result.reason, Reason::PortFailed);
    EXPECT_EQ(host.lstRecords.records(), QStringList {"R1"});
    EXPECT_EQ(host.eventsWithoutTime(),
              answered() << QStringLiteral("Input/output error") << msg::incompleteRecordDropped(2));
    EXPECT_EQ(port.closes, 1);
    EXPECT_FALSE(port.PortOpen());
}

TEST_F(HhcToPcTest, CharacterWaitReadsInputOnlyWhenSomethingWaits)
{
    device(QString());
    waiter.onYield = [this, first = waiter.onYield](long long pass) {
        first(pass);
        if (pass == 50)
            port.feed(QStringLiteral("$"));
    };
    EXPECT_EQ(run().outcome, Outcome::Succeeded);
    EXPECT_EQ(port.countOf(FakeSerialControl::Op::InBufferCount), 49);
    EXPECT_EQ(port.countOf(FakeSerialControl::Op::Input), 1 + 1);
}

struct LimitCase {
    const char* name;
    QString sent;
    ReceptionLimits limits;
    int kept;
    QString unsaved; // the line that names the record past the limit
};

class HhcToPcLimitTest : public HhcToPcTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(HhcToPcLimitTest, KeepsTheRecordsBeforeALimitAndNamesTheOnePast)
{
    const LimitCase& c = GetParam();
    request.limits = c.limits;
    device(c.sent);
    const TransferResult result = run();
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_EQ(result.reason, Reason::Overflow);
    EXPECT_EQ(result.records, c.kept);
    EXPECT_EQ(host.lstRecords.count(), c.kept);
    EXPECT_EQ(host.statuses.last(), QString::number(c.kept));
    EXPECT_EQ(host.eventsWithoutTime(), answered() << overflowText() << c.unsaved);
    EXPECT_EQ(port.closes, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, HhcToPcLimitTest,
    ::testing::Values(
        LimitCase {"Record32768", QString(32767, QLatin1Char('@')) + QStringLiteral("$"), {}, 32767,
                   msg::recordPastCountLimit(32768, 0, 0, 0)},
        LimitCase {"RecordsAfter32767AreCounted", QString(32767, QLatin1Char('@')) + QStringLiteral("xy@ab@c$"), {},
                   32767, msg::recordPastCountLimit(32768, 2, 2, 3)},
        LimitCase {"RecordLongerThanKept", QStringLiteral("R1@") + QString(11, QLatin1Char('x')), {10, 1000}, 1,
                   msg::recordPastLengthLimit(2, 10)},
        LimitCase {"ReceptionLargerThanKept", QStringLiteral("0123456789@0123456789@"), {1000, 20}, 1,
                   msg::recordPastReceptionLimit(2, 9, 20)}),
    [](const ::testing::TestParamInfo<LimitCase>& param) { return std::string(param.param.name); });

TEST_F(HhcToPcTest, Exactly32767RecordsComplete)
{
    device(QString(32766, QLatin1Char('@')) + QStringLiteral("$"));
    EXPECT_EQ(run().outcome, Outcome::Succeeded);
    EXPECT_EQ(host.lstRecords.count(), 32767);
    EXPECT_EQ(host.events.last(), msg::kReceptionCompleted);
}

TEST_F(HhcToPcTest, OpenFailurePostsStepTextAndItsCause)
{
    port.failOn(FakeSerialControl::Op::SetPortOpen);
    host.lstRecords.assign({"old"});
    const TransferResult result = run();
    EXPECT_EQ(result.outcome, Outcome::Refused);
    EXPECT_EQ(result.reason, Reason::OpeningPort);
    EXPECT_EQ(host.events, (QStringList {msg::kErrorOpeningPort, FakeSerialControl::kFailedText}));
    EXPECT_EQ(host.lstRecords.records(), QStringList {"old"});
}

TEST_F(HhcToPcTest, CloseFailureAfterEndKeepsCompletionMessage)
{
    device(QStringLiteral("R$"));
    port.failOn(FakeSerialControl::Op::SetPortOpen, 2);
    const TransferResult result = run();
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_EQ(result.reason, Reason::ClosingPort);
    EXPECT_EQ(host.eventsWithoutTime(),
              answered() << msg::kReceptionCompleted << msg::kErrorClosingPort << FakeSerialControl::kFailedText);
    EXPECT_EQ(host.lstRecords.records(), QStringList {"R"});
}

} // namespace
} // namespace ql::test
