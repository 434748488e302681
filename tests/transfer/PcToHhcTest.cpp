#include "TransferTestSupport.h"

#include "transfer/Transfers.h"

#include <gtest/gtest.h>

namespace ql::test {
namespace {

class PcToHhcTest : public TransferTest {
protected:
    PcToHhcTest() : TransferTest(Direction::PcToHhc) {}

    // The device answers the begin request with the same character.
    void answerBeginRequest(const QString& answer = QStringLiteral("^"))
    {
        port.onOutput = [answer](FakeSerialControl& control, const QString& text) {
            if (text == QLatin1String("^") && control.written.size() == 1)
                control.feed(answer);
        };
    }

    TransferResult run(const QStringList& records = {})
    {
        host.lstRecords.assign(records);
        return RunPcToHhc(context, request);
    }

    static QStringList announced(int count)
    {
        return {kStartedPc2Hhc,    kConfigured,       msg::kSearchingRecords, msg::recordsFound(count),
                msg::kSentBeginRequest, msg::kWaitingResponse};
    }

    static QStringList succeeded(int count)
    {
        return announced(count) << msg::kGotResponse << msg::kSendingData << msg::kTransferSucceeded;
    }

    static QStringList failedBeforeAnswer(int count, const QString& reason)
    {
        return announced(count) << msg::kTransferFailed << reason;
    }

    static QStringList failedWhileSending(int count, const QString& reason)
    {
        return announced(count) << msg::kGotResponse << msg::kSendingData << msg::kTransferFailed
                                << reason;
    }
};

struct SendCase {
    const char* name;
    QStringList records;
    QString wire; // after the begin request
    QStringList remaining;
};

class PcToHhcSendTest : public PcToHhcTest, public ::testing::WithParamInterface<SendCase> {};

TEST_P(PcToHhcSendTest, SendsRecordsWithSeparatorsAndEndCharacter)
{
    const SendCase& c = GetParam();
    answerBeginRequest();
    const TransferResult result = run(c.records);

    const auto n = static_cast<int>(c.records.size());
    EXPECT_EQ(result.outcome, Outcome::Succeeded);
    EXPECT_EQ(result.records, n);
    EXPECT_EQ(result.bytes, c.wire.size());
    EXPECT_EQ(host.moved.size(), c.records.size());
    EXPECT_EQ(host.eventsWithoutTime(), succeeded(n));
    EXPECT_EQ(port.written, QStringLiteral("^") + c.wire);
    EXPECT_EQ(host.statuses, c.remaining);
    // One handshake pass, then one drain pass per record.
    EXPECT_EQ(waiter.yields, 1 + n);
    EXPECT_EQ(port.closes, 1);
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(host.lstRecords.records(), c.records);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, PcToHhcSendTest,
    ::testing::Values(
        SendCase {"ThreeRecords", {"R1", "R2", "R3"}, "R1@R2@R3$",
                  {"2 records remaining", "1 records remaining", "0 records remaining"}},
        SendCase {"OneRecordIsFollowedByEndAlone", {"only"}, "only$", {"0 records remaining"}},
        SendCase {"EmptyRecordPutsSeparatorsSideBySide", {"a", "", "b"}, "a@@b$",
                  {"2 records remaining", "1 records remaining", "0 records remaining"}},
        SendCase {"BeginCharacterInRecordsGoesUnchanged", {"^x^", "z"}, "^x^@z$",
                  {"1 records remaining", "0 records remaining"}},
        SendCase {"HighBytesGoUnchanged", {QString::fromLatin1("\x80\xe9\xff")},
                  QString::fromLatin1("\x80\xe9\xff$"), {"0 records remaining"}}),
    [](const ::testing::TestParamInfo<SendCase>& param) { return std::string(param.param.name); });

struct RefusedCase {
    const char* name;
    QStringList records;
    QString reason;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class PcToHhcRefusedTest : public PcToHhcTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(PcToHhcRefusedTest, FailsBeforeThePortOpens)
{
    answerBeginRequest();
    const TransferResult result = run(GetParam().records);
    EXPECT_EQ(result.outcome, Outcome::Refused);
    EXPECT_EQ(result.reason, Reason::RecordsUnsendable);
    EXPECT_EQ(host.events, (QStringList {msg::kTransferFailed, GetParam().reason}));
    EXPECT_EQ(port.opens, 0);
    EXPECT_TRUE(port.written.isEmpty());
    EXPECT_EQ(host.lstRecords.records(), GetParam().records);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, PcToHhcRefusedTest,
    ::testing::Values(RefusedCase {"NothingToSend", {}, msg::kNothingToSend},
                      RefusedCase {"SeparatorInARecord", {"a", "b^", "c@d$", "@"},
                                   msg::recordHoldsProtocolCharacter(3, QStringLiteral("@"))},
                      RefusedCase {"EndCharacterInARecord", {"$@"}, msg::recordHoldsProtocolCharacter(1, QStringLiteral("$"))}),
    [](const ::testing::TestParamInfo<RefusedCase>& param) { return std::string(param.param.name); });

TEST_F(PcToHhcTest, SettingsAreLoggedInUpperCase)
{
    request.line.baud = QStringLiteral("9600e");
    answerBeginRequest();
    run({"R"});
    ASSERT_GE(host.events.size(), 2);
    EXPECT_EQ(host.events.at(1), QStringLiteral("Configured Serial Port to 9600E,N,8,1"));
}

TEST_F(PcToHhcTest, BeginRequestIsLoggedBeforeItLeaves)
{
    QString lastLoggedAtRequest;
    port.onOutput = [&](FakeSerialControl& control, const QString&) {
        if (control.written == QLatin1String("^")) {
            lastLoggedAtRequest = host.events.last();
            control.feed(QStringLiteral("^"));
        }
    };
    run({"R"});
    EXPECT_EQ(lastLoggedAtRequest, msg::kWaitingResponse);
}

TEST_F(PcToHhcTest, NoAnswerFailsOnPass3000000WithTenDots)
{
    run({"R1"});
    EXPECT_EQ(waiter.yields, 3000000);
    EXPECT_EQ(port.countOf(FakeSerialControl::Op::Input), 3000000);
    EXPECT_EQ(host.statuses, dots(10));
    EXPECT_EQ(host.eventsWithoutTime(), failedBeforeAnswer(1, msg::kDeviceNotResponding));
    EXPECT_EQ(port.written, QStringLiteral("^"));
    EXPECT_EQ(port.closes, 1);
}

TEST_F(PcToHhcTest, AnswerReadOnTheLastPassIsHonoured)
{
    waiter.onYield = [this](long long pass) {
        if (pass == 3000000)
            port.feed(QStringLiteral("^"));
    };
    run({"R1"});
    EXPECT_EQ(host.statuses, dots(9) << "0 records remaining");
    EXPECT_EQ(host.eventsWithoutTime(), succeeded(1));
}

TEST_F(PcToHhcTest, NoiseBeforeAnswerIsDroppedAndNothingAfterItIsRead)
{
    answerBeginRequest(QStringLiteral("xy\r^abc"));
    run({"R1"});
    EXPECT_EQ(port.countOf(FakeSerialControl::Op::Input), 4);
    EXPECT_EQ(port.waiting(), 3);
    EXPECT_EQ(host.eventsWithoutTime(), succeeded(1));
    EXPECT_EQ(port.written, QStringLiteral("^R1$"));
}

TEST_F(PcToHhcTest, NoWindowLeftEndsHandshakeAsIfAnswered)
{
    waiter.windowsOpen = false;
    run({"R1", "R2"});
    EXPECT_EQ(port.countOf(FakeSerialControl::Op::Input), 0);
    EXPECT_EQ(host.eventsWithoutTime(), succeeded(2));
    EXPECT_EQ(port.written, QStringLiteral("^R1@R2$"));
}

struct DrainCase {
    std::chrono::nanoseconds passTime;
    int busyReads;
    bool sent;
};

void PrintTo(const DrainCase& c, std::ostream* os)
{
    *os << c.busyReads << " busy reads, " << c.passTime.count() << " ns a pass";
}

class PcToHhcDrainTest : public PcToHhcTest, public ::testing::WithParamInterface<DrainCase> {};

TEST_P(PcToHhcDrainTest, TransmitQueueGetsThreeSeconds)
{
    waiter.passTime = GetParam().passTime;
    const auto passes = static_cast<int>(std::chrono::seconds(3) / GetParam().passTime);
    answerBeginRequest();
    port.busyOutReads = GetParam().busyReads;
    run({"R"});
    if (GetParam().sent) {
        EXPECT_EQ(host.eventsWithoutTime(), succeeded(1));
        EXPECT_EQ(port.written, QStringLiteral("^R$"));
        EXPECT_EQ(waiter.yields, 1 + GetParam().busyReads + 1);
    } else {
        EXPECT_EQ(host.eventsWithoutTime(), failedWhileSending(1, msg::kDeviceNotResponding));
        EXPECT_EQ(port.written, QStringLiteral("^"));
        EXPECT_EQ(waiter.yields, 1 + passes);
        EXPECT_EQ(port.countOf(FakeSerialControl::Op::OutBufferCount), passes - 1);
        EXPECT_EQ(port.closes, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Bounds, PcToHhcDrainTest,
                         ::testing::Values(DrainCase {std::chrono::microseconds(5), 0, true},
                                           DrainCase {std::chrono::microseconds(5), 599998, true},
                                           DrainCase {std::chrono::microseconds(5), 599999, false},
                                           DrainCase {std::chrono::microseconds(5), FakeSerialControl::kAlwaysBusy, false},
                                           DrainCase {std::chrono::milliseconds(1), 2998, true},
                                           DrainCase {std::chrono::milliseconds(1), 2999, false}));

TEST_F(PcToHhcTest, DrainFailureKeepsEarlierRecordsSent)
{
    port.onOutput = [](FakeSerialControl& control, const QString& text) {
        if (control.written == QLatin1String("^"))
            control.feed(QStringLiteral("^"));
        if (text == QLatin1String("@"))
            control.busyOutReads = FakeSerialControl::kAlwaysBusy;
    };
    run({"R1", "R2"});
    EXPECT_EQ(port.written, QStringLiteral("^R1@"));
    EXPECT_EQ(host.statuses, QStringList {"1 records remaining"});
    EXPECT_EQ(host.eventsWithoutTime(), failedWhileSending(2, msg::kDeviceNotResponding));
}

// The Abort click closes the port inside a yield; the run fails at its next serial
// operation with the control's own text and closes nothing more.
TEST_F(PcToHhcTest, AbortDuringHandshakeEndsRunWithControlText)
{
    waiter.onYield = [this](long long pass) {
        if (pass == 5)
            port.setPortOpen(false);
    };
    run({"R1"});
    EXPECT_EQ(waiter.yields, 5);
    EXPECT_EQ(host.eventsWithoutTime(),
              failedBeforeAnswer(1, FakeSerialControl::kClosedText));
    EXPECT_EQ(port.closes, 1);
}

TEST_F(PcToHhcTest, AbortDuringDrainEndsRunWithControlText)
{
    port.onOutput = [](FakeSerialControl& control, const QString& text) {
        if (control.written == QLatin1String("^"))
            control.feed(QStringLiteral("^"));
        if (text == QLatin1String("@"))
            control.busyOutReads = FakeSerialControl::kAlwaysBusy;
    };
    waiter.onYield = [this](long long pass) {
        if (pass == 100)
            port.setPortOpen(false);
    };
    run({"R1", "R2"});
    EXPECT_EQ(waiter.yields, 100);
    EXPECT_EQ(port.written, QStringLiteral("^R1@"));
    EXPECT_EQ(host.eventsWithoutTime(),
              failedWhileSending(2, FakeSerialControl::kClosedText));
    EXPECT_EQ(port.closes, 1);
}

TEST_F(PcToHhcTest, DeviceVanishingDuringHandshakeEndsRunAndClosesPort)
{
    waiter.onYield = [this](long long pass) {
        if (pass == 7)
            port.vanishedText = QStringLiteral("Input/output error");
    };
    run({"R"});
    EXPECT_EQ(host.eventsWithoutTime(), failedBeforeAnswer(1, QStringLiteral("Input/output error")));
    EXPECT_EQ(port.closes, 1);
    EXPECT_FALSE(port.PortOpen());
}

TEST_F(PcToHhcTest, PortDroppingInsideRecordSendsNoSeparator)
{
    answerBeginRequest();
    port.closeAfterCharacters = 3;
    run({"ABCDEF", "G"});
    EXPECT_EQ(port.written, QStringLiteral("^AB"));
    EXPECT_TRUE(host.statuses.isEmpty());
    EXPECT_EQ(host.eventsWithoutTime(),
              failedWhileSending(2, FakeSerialControl::kClosedText));
}

TEST_F(PcToHhcTest, RecordNotSentWholeOnOpenPortFailsAsDeviceNotResponding)
{
    port.onOutput = [](FakeSerialControl& control, const QString&) {
        if (control.written == QLatin1String("^")) {
            control.feed(QStringLiteral("^"));
            control.failOn(FakeSerialControl::Op::Output, control.countOf(FakeSerialControl::Op::Output) + 1, false);
        }
    };
    run({"R1", "R2"});
    EXPECT_EQ(port.written, QStringLiteral("^"));
    EXPECT_EQ(host.eventsWithoutTime(), failedWhileSending(2, msg::kDeviceNotResponding));
    EXPECT_EQ(port.closes, 1);
}

TEST_F(PcToHhcTest, RecordOver32767CharactersFailsBeforeAnyOfItIsSent)
{
    answerBeginRequest();
    const QString longest(32767, QLatin1Char('x'));
    run({longest, QString(32768, QLatin1Char('y')), "z"});
    EXPECT_EQ(port.written, QStringLiteral("^") + longest + QStringLiteral("@"));
    EXPECT_EQ(host.eventsWithoutTime(), failedWhileSending(3, overflowText()));
    EXPECT_EQ(port.closes, 1);
}

TEST_F(PcToHhcTest, ListOver32767RecordsFailsBeforeHandshake)
{
    answerBeginRequest();
    run(QStringList(32768, QStringLiteral("r")));
    EXPECT_EQ(host.eventsWithoutTime(),
              (QStringList {kStartedPc2Hhc, kConfigured, msg::kSearchingRecords, msg::kTransferFailed,
                            overflowText()}));
    EXPECT_TRUE(port.written.isEmpty());
}

TEST_F(PcToHhcTest, OpenFailurePostsStepTextAndItsCause)
{
    port.failOn(FakeSerialControl::Op::SetPortOpen);
    run({"R1"});
    EXPECT_EQ(host.events,
              (QStringList {msg::kTransferFailed, msg::kErrorOpeningPort, FakeSerialControl::kFailedText}));
    EXPECT_TRUE(port.written.isEmpty());
    EXPECT_EQ(waiter.yields, 0);
}

TEST_F(PcToHhcTest, CloseFailureAfterSuccessKeepsSuccessMessage)
{
    answerBeginRequest();
    port.failOn(FakeSerialControl::Op::SetPortOpen, 2);
    run({"R1"});
    EXPECT_EQ(host.eventsWithoutTime(),
              succeeded(1) << msg::kTransferFailed << msg::kErrorClosingPort << FakeSerialControl::kFailedText);
    EXPECT_EQ(port.written, QStringLiteral("^R1$"));
}

TEST_F(PcToHhcTest, StartMessageCarriesTimeOfDay)
{
    answerBeginRequest();
    run({"R"});
    ASSERT_FALSE(host.events.isEmpty());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Started pc2hhc process at ([01]\\d|2[0-3]):[0-5]\\d:[0-5]\\d$"))
                    .match(host.events.first())
                    .hasMatch())
        << host.events.first().toStdString();
}

} // namespace
} // namespace ql::test
