#include "TransferTestSupport.h"

#include "transfer/Transfers.h"

#include <gtest/gtest.h>

namespace ql::test {
namespace {

class HhcToPcTest : public ::testing::Test {
protected:
    // The device sends `request` during the given pass of the begin wait and, once
    // answered, `reply`.
    void device(const QString& reply, const QString& request = QStringLiteral("^"), long long requestPass = 1)
    {
        host.onYield = [this, request, requestPass](long long pass) {
            if (pass == requestPass)
                port.send(request);
        };
        port.onOutput = [reply](ScriptedSerialControl& control, const QString&) { control.send(reply); };
    }

    // The Abort click, handled in the given pass.
    void abortAt(long long abortPass)
    {
        auto earlier = host.onYield;
        host.onYield = [this, earlier, abortPass](long long pass) {
            if (earlier)
                earlier(pass);
            if (pass == abortPass)
                port.setPortOpen(false);
        };
    }

    ReceptionOutcome run() { return RunHhcToPc(host, port, state); }

    static QStringList waiting() { return {kStartedHhc2Pc, kConfigured, msg::kWaitingBeginRequest}; }
    static QStringList answered() { return waiting() << msg::kSentResponse; }

    FakeTransferHost host;
    ScriptedSerialControl port;
    TransferState state = protocolState();
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

    EXPECT_EQ(run(), ReceptionOutcome::Received);
    EXPECT_EQ(host.lstRecords.records(), c.records);
    QStringList counts;
    for (int i = 1; i <= c.records.size(); ++i)
        counts.append(QString::number(i));
    EXPECT_EQ(host.statuses, counts);
    EXPECT_EQ(host.eventsWithoutTime(), answered() << msg::kReceptionCompleted);
    EXPECT_EQ(port.wire, QStringLiteral("^"));
    // One begin pass, then one pass per character.
    EXPECT_EQ(host.yields, 1 + c.sent.size());
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
    EXPECT_EQ(run(), ReceptionOutcome::Received);
    EXPECT_EQ(host.lstRecords.records(), QStringList {"R"});
    EXPECT_EQ(host.yields, 3 + 2);
}

TEST_F(HhcToPcTest, ResponseIsLoggedBeforeAnswerLeaves)
{
    QString lastLoggedAtAnswer;
    host.onYield = [this](long long pass) {
        if (pass == 1)
            port.send(QStringLiteral("^"));
    };
    port.onOutput = [&](ScriptedSerialControl& control, const QString&) {
        lastLoggedAtAnswer = host.events.last();
        control.send(QStringLiteral("$"));
    };
    run();
    EXPECT_EQ(lastLoggedAtAnswer, msg::kSentResponse);
}

TEST_F(HhcToPcTest, NoBeginRequestFailsOnPass3000000AndKeepsList)
{
    host.lstRecords.assign({"old"});
    EXPECT_EQ(run(), ReceptionOutcome::NoBeginRequest);
    EXPECT_EQ(host.yields, 3000000);
    EXPECT_EQ(port.inputReads, 3000000);
    EXPECT_EQ(host.statuses, dots(10));
    EXPECT_EQ(host.eventsWithoutTime(), waiting() << msg::kDeviceNotResponding);
    EXPECT_EQ(host.lstRecords.records(), QStringList {"old"});
    EXPECT_TRUE(port.wire.isEmpty());
    EXPECT_EQ(port.closes, 1);
}

struct LateRequestCase {
    long long pass;
    ReceptionOutcome outcome;
};

void PrintTo(const LateRequestCase& c, std::ostream* os)
{
    *os << "request in pass " << c.pass;
}

class HhcToPcLateRequestTest : public HhcToPcTest, public ::testing::WithParamInterface<LateRequestCase> {};

TEST_P(HhcToPcLateRequestTest, RequestInThePassOfTheTenthDotComesTooLate)
{
    device(QStringLiteral("$"), QStringLiteral("^"), GetParam().pass);
    EXPECT_EQ(run(), GetParam().outcome);
    const bool received = GetParam().outcome == ReceptionOutcome::Received;
    EXPECT_EQ(host.events.last(), received ? msg::kReceptionCompleted : msg::kDeviceNotResponding);
}

INSTANTIATE_TEST_SUITE_P(Bounds, HhcToPcLateRequestTest,
                         ::testing::Values(LateRequestCase {2999999, ReceptionOutcome::Received},
                                           LateRequestCase {3000000, ReceptionOutcome::NoBeginRequest}));

TEST_F(HhcToPcTest, AbortDuringBeginWaitKeepsList)
{
    host.lstRecords.assign({"old"});
    abortAt(100);
    EXPECT_EQ(run(), ReceptionOutcome::NoBeginRequest);
    EXPECT_EQ(host.yields, 100);
    EXPECT_EQ(host.eventsWithoutTime(), waiting() << ScriptedSerialControl::kClosedText);
    EXPECT_EQ(host.lstRecords.records(), QStringList {"old"});
    EXPECT_EQ(port.closes, 1);
}

TEST_F(HhcToPcTest, AbortDuringCharacterWaitKeepsRecordsReceived)
{
    device(QStringLiteral("R1@R2@R3"));
    abortAt(1000);
    EXPECT_EQ(run(), ReceptionOutcome::Interrupted);
    EXPECT_EQ(host.yields, 1000);
    EXPECT_EQ(host.lstRecords.records(), (QStringList {"R1", "R2"}));
    EXPECT_EQ(host.statuses, (QStringList {"1", "2"}));
    // "R3" had no separator yet: never a record, and told so.
    EXPECT_EQ(host.eventsWithoutTime(),
              answered() << ScriptedSerialControl::kClosedText << msg::incompleteRecordDropped(2));
    EXPECT_EQ(port.closes, 1);
}

TEST_F(HhcToPcTest, DeviceVanishingMidRecordsEndsRunAndClosesPort)
{
    device(QStringLiteral("R1@R2"));
    host.onYield = [this, first = host.onYield](long long pass) {
        first(pass);
        if (pass == 20)
            port.vanishedText = QStringLiteral("Input/output error");
    };
    EXPECT_EQ(run(), ReceptionOutcome::Interrupted);
    EXPECT_EQ(host.lstRecords.records(), QStringList {"R1"});
    EXPECT_EQ(host.eventsWithoutTime(),
              answered() << QStringLiteral("Input/output error") << msg::incompleteRecordDropped(2));
    EXPECT_EQ(port.closes, 1);
    EXPECT_FALSE(port.PortOpen());
}

TEST_F(HhcToPcTest, CharacterWaitReadsInputOnlyWhenSomethingWaits)
{
    device(QString());
    host.onYield = [this, first = host.onYield](long long pass) {
        first(pass);
        if (pass == 50)
            port.send(QStringLiteral("$"));
    };
    EXPECT_EQ(run(), ReceptionOutcome::Received);
    EXPECT_EQ(port.inBufferReads, 49);
    EXPECT_EQ(port.inputReads, 1 + 1);
}

TEST_F(HhcToPcTest, Record32767IsKeptAndThe32768thIsAnOverflow)
{
    device(QString(32767, QLatin1Char('@')) + QStringLiteral("$"));
    EXPECT_EQ(run(), ReceptionOutcome::Interrupted);
    EXPECT_EQ(host.lstRecords.count(), 32767);
    EXPECT_EQ(host.statuses.last(), QStringLiteral("32767"));
    EXPECT_EQ(host.eventsWithoutTime(), answered() << overflowText());
    EXPECT_EQ(port.closes, 1);
}

TEST_F(HhcToPcTest, Exactly32767RecordsComplete)
{
    device(QString(32766, QLatin1Char('@')) + QStringLiteral("$"));
    EXPECT_EQ(run(), ReceptionOutcome::Received);
    EXPECT_EQ(host.lstRecords.count(), 32767);
    EXPECT_EQ(host.events.last(), msg::kReceptionCompleted);
}

TEST_F(HhcToPcTest, OpenFailurePostsStepTextOnly)
{
    port.refuseOpen = true;
    host.lstRecords.assign({"old"});
    EXPECT_EQ(run(), ReceptionOutcome::NoBeginRequest);
    EXPECT_EQ(host.events, QStringList {msg::kErrorOpeningPort});
    EXPECT_EQ(host.lstRecords.records(), QStringList {"old"});
}

TEST_F(HhcToPcTest, CloseFailureAfterEndKeepsCompletionMessage)
{
    device(QStringLiteral("R$"));
    port.refuseClose = true;
    EXPECT_EQ(run(), ReceptionOutcome::Received);
    EXPECT_EQ(host.eventsWithoutTime(), answered() << msg::kReceptionCompleted << msg::kErrorClosingPort);
    EXPECT_EQ(host.lstRecords.records(), QStringList {"R"});
}

} // namespace
} // namespace ql::test
