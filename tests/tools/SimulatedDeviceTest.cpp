#include "support/DeviceThread.h"
#include "PcSide.h"

#include "support/Files.h"
#include "support/RecordMakers.h"
#include "support/WaitFor.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <system_error>

namespace ql::test {
namespace {

using hhcsim::DeviceEvent;
using hhcsim::Direction;
using hhcsim::Mode;
using Kind = DeviceEvent::Kind;
using namespace std::chrono_literals;

// The PC's side of a PC->HHC run: begin request, the answer, the records, close.
void sendAsPc(const QString& link, const QByteArray& records)
{
    PcSide pc(link);
    ASSERT_TRUE(pc.write("^"));
    ASSERT_EQ(pc.read(1), QByteArray("^"));
    ASSERT_TRUE(pc.write(records));
}

// The PC's side of a HHC->PC run: wait for the begin request, answer, read through "$".
QByteArray receiveAsPc(const QString& link)
{
    PcSide pc(link);
    const QByteArray begin = pc.readThrough('^');
    EXPECT_TRUE(begin.endsWith('^'));
    EXPECT_TRUE(pc.write("^"));
    return pc.readThrough('$');
}

struct ReceiveCase {
    const char* name;
    QByteArray wire;
    QByteArrayList records;
};

class ReceiveKeepsRecordsExactly : public ::testing::TestWithParam<ReceiveCase> {};

TEST_P(ReceiveKeepsRecordsExactly, AsTheyCameOnTheWire)
{
    const ReceiveCase& c = GetParam();
    DeviceThread sim(deviceOptions(Mode::Receive));
    sendAsPc(sim.link(), c.wire);

    ASSERT_TRUE(sim.waitForEvents(Kind::SessionEnded));
    const auto received = sim.eventsOf(Kind::RecordsReceived);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_TRUE(received[0].complete);
    EXPECT_EQ(received[0].records, c.records);
    const DeviceEvent ended = sim.eventsOf(Kind::SessionEnded)[0];
    EXPECT_EQ(ended.direction, Direction::PcToHhc);
    EXPECT_EQ(ended.received, "^" + c.wire);
    EXPECT_EQ(ended.sent, QByteArray("^"));
}

INSTANTIATE_TEST_SUITE_P(
    Wire, ReceiveKeepsRecordsExactly,
    ::testing::Values(
        ReceiveCase {"ThreeRecords", "R1@R2@R3$", {"R1", "R2", "R3"}},
        ReceiveCase {"EndAloneIsOneEmptyRecord", "$", {""}},
        ReceiveCase {"EmptyRecordsSideBySide", "@@$", {"", "", ""}},
        ReceiveCase {"EmptyRecordBetweenTwo", "A@@B$", {"A", "", "B"}},
        ReceiveCase {"LineEndsAreData", "A\r\nB@C\rD\nE$", {"A\r\nB", "C\rD\nE"}},
        ReceiveCase {"BeginCharIsData", "a^b@^$", {"a^b", "^"}},
        ReceiveCase {"HighBytesAndNul", allHighBytes() + QByteArray(1, '\0') + "@x$",
                     {allHighBytes() + QByteArray(1, '\0'), "x"}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(SimulatedDevice, ReceiveTakesMoreThanTheLineHoldsAtOnce)
{
    const QByteArrayList records = makeRecords(3000, 40);
    DeviceThread sim(deviceOptions(Mode::Receive));
    sendAsPc(sim.link(), recordsOnWire(records));

    ASSERT_TRUE(sim.waitForEvents(Kind::RecordsReceived));
    EXPECT_EQ(sim.eventsOf(Kind::RecordsReceived)[0].records, records);
}

TEST(SimulatedDevice, ReceiveReportsAnUnfinishedSetWhenThePcCloses)
{
    DeviceThread sim(deviceOptions(Mode::Receive));
    sendAsPc(sim.link(), "R1@R2@par");

    ASSERT_TRUE(sim.waitForEvents(Kind::RecordsReceived));
    const DeviceEvent received = sim.eventsOf(Kind::RecordsReceived)[0];
    EXPECT_FALSE(received.complete);
    EXPECT_EQ(received.records, QByteArrayList({"R1", "R2"}));
    EXPECT_EQ(received.unfinished, QByteArray("par"));
}

struct SendCase {
    const char* name;
    QByteArrayList records;
    QByteArray wire;
};

class SendPutsExactBytesOnTheWire : public ::testing::TestWithParam<SendCase> {};

TEST_P(SendPutsExactBytesOnTheWire, AfterTheAnswer)
{
    const SendCase& c = GetParam();
    DeviceThread sim(deviceOptions(Mode::Send, c.records));
    {
        PcSide pc(sim.link());
        ASSERT_EQ(pc.read(1), QByteArray("^"));
        // Whatever the device sent before the answer would be thrown away by the PC.
        EXPECT_TRUE(pc.readFor(200ms).isEmpty());
        ASSERT_TRUE(pc.write("^"));
        EXPECT_EQ(pc.read(c.wire.size()), c.wire);
        EXPECT_TRUE(pc.readFor(50ms).isEmpty());
    }
    ASSERT_TRUE(sim.waitForEvents(Kind::SessionEnded));
    const DeviceEvent ended = sim.eventsOf(Kind::SessionEnded)[0];
    EXPECT_EQ(ended.direction, Direction::HhcToPc);
    EXPECT_EQ(ended.sent, "^" + c.wire);
    EXPECT_EQ(ended.received, QByteArray("^"));
}

INSTANTIATE_TEST_SUITE_P(
    Wire, SendPutsExactBytesOnTheWire,
    ::testing::Values(SendCase {"ThreeRecords", {"R1", "R2", "R3"}, "R1@R2@R3$"},
                      SendCase {"OneRecordEndsWithEndChar", {"only"}, "only$"},
                      SendCase {"OneEmptyRecordIsEndCharAlone", {""}, "$"},
                      SendCase {"EmptyRecordsSideBySide", {"A", "", "", "B"}, "A@@@B$"},
                      SendCase {"LineEndsBeginCharAndHighBytes", {"a\r\nb", "^", allHighBytes()},
                                "a\r\nb@^@" + allHighBytes() + "$"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(SimulatedDevice, AutoModeServesBothDirectionsAndWaitsOutAProbe)
{
    DeviceThread sim(deviceOptions(Mode::Auto, {"S1", "S2"}));

    sendAsPc(sim.link(), "R1@R2$");
    ASSERT_TRUE(sim.waitForEvents(Kind::SessionEnded, 1));

    // A port probe opens and closes at once.
    PcSide(sim.link()).close();
    ASSERT_TRUE(sim.waitForEvents(Kind::PortClosed, 1));

    EXPECT_EQ(receiveAsPc(sim.link()), QByteArray("S1@S2$"));
    ASSERT_TRUE(sim.waitForEvents(Kind::SessionEnded, 2));

    sendAsPc(sim.link(), "R3$");
    ASSERT_TRUE(sim.waitForEvents(Kind::SessionEnded, 3));

    const auto began = sim.eventsOf(Kind::SessionBegan);
    ASSERT_EQ(began.size(), 3u);
    EXPECT_EQ(began[0].direction, Direction::PcToHhc);
    EXPECT_EQ(began[1].direction, Direction::HhcToPc);
    EXPECT_EQ(began[2].direction, Direction::PcToHhc);
    const auto received = sim.eventsOf(Kind::RecordsReceived);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].records, QByteArrayList({"R1", "R2"}));
    EXPECT_EQ(received[1].records, QByteArrayList({"R3"}));
}

TEST(SimulatedDevice, AutoModeServesAPcThatReopensTheMomentItClosed)
{
    DeviceThread sim(deviceOptions(Mode::Auto, {"S"}));
    for (int round = 0; round < 3; ++round) {
        sendAsPc(sim.link(), "R" + QByteArray::number(round) + "$");
        EXPECT_EQ(receiveAsPc(sim.link()), QByteArray("S$")) << round;
    }
    ASSERT_TRUE(sim.waitForEvents(Kind::SessionEnded, 6));
    const auto received = sim.eventsOf(Kind::RecordsReceived);
    ASSERT_EQ(received.size(), 3u);
    for (int round = 0; round < 3; ++round)
        EXPECT_EQ(received[round].records, QByteArrayList({"R" + QByteArray::number(round)}));
}

TEST(SimulatedDevice, OnceEndsRunAfterOneSessionButNotAfterAProbe)
{
    auto options = deviceOptions(Mode::Receive);
    options.once = true;
    DeviceThread sim(std::move(options));
    PcSide(sim.link()).close();
    ASSERT_TRUE(sim.waitForEvents(Kind::PortClosed));
    sendAsPc(sim.link(), "R$");
    ASSERT_TRUE(sim.waitUntilFinished());
    EXPECT_TRUE(sim.runResult());
    EXPECT_EQ(sim.eventsOf(Kind::SessionEnded).size(), 1u);
}

TEST(SimulatedDevice, StopEndsRunFromAnotherThreadAndRemovesTheLink)
{
    QString link;
    {
        DeviceThread sim(deviceOptions(Mode::Auto));
        link = sim.link();
        EXPECT_TRUE(QFileInfo(link).isSymLink());
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), sim.device().ptsPath());
        PcSide pc(link); // stopped in the middle of a session
        ASSERT_TRUE(sim.waitForEvents(Kind::PortOpened));
        sim.device().stop();
        ASSERT_TRUE(sim.waitUntilFinished());
        EXPECT_TRUE(sim.runResult());
    }
    EXPECT_FALSE(QFileInfo::exists(link));
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST(SimulatedDevice, ReplacesAnOldLinkButNotAFile)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("hhc"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/nonexistent"), link));
    {
        auto options = deviceOptions(Mode::Auto);
        options.linkPath = link;
        DeviceThread sim(std::move(options));
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), sim.device().ptsPath());
    }

    const QString file = dir.filePath(QStringLiteral("data.txt"));
    writeFile(file, "keep me");
    hhcsim::DeviceOptions options;
    options.linkPath = file;
    EXPECT_THROW(hhcsim::SimulatedDevice(options, nullptr), std::system_error);
    EXPECT_EQ(readFile(file), QByteArray("keep me"));
}

// Faults.

TEST(SimulatedDeviceFaults, NoAnswerIgnoresTheBeginRequest)
{
    auto options = deviceOptions(Mode::Receive);
    options.faults.noAnswer = true;
    DeviceThread sim(std::move(options));
    {
        PcSide pc(sim.link());
        ASSERT_TRUE(pc.write("^"));
        ASSERT_TRUE(sim.waitForEvents(Kind::SessionBegan));
        EXPECT_TRUE(pc.readFor(300ms).isEmpty());
    }
    ASSERT_TRUE(sim.waitForEvents(Kind::SessionEnded));
    EXPECT_TRUE(sim.eventsOf(Kind::SessionEnded)[0].sent.isEmpty());
}

TEST(SimulatedDeviceFaults, NoAnswerNeverSendsTheBeginRequest)
{
    auto options = deviceOptions(Mode::Send, {"R"});
    options.faults.noAnswer = true;
    DeviceThread sim(std::move(options));
    {
        PcSide pc(sim.link());
        ASSERT_TRUE(sim.waitForEvents(Kind::SessionBegan));
        EXPECT_TRUE(pc.readFor(300ms).isEmpty());
    }
    ASSERT_TRUE(sim.waitForEvents(Kind::SessionEnded));
    EXPECT_TRUE(sim.eventsOf(Kind::SessionEnded)[0].sent.isEmpty());
}

class NoiseComesFirst : public ::testing::TestWithParam<Mode> {};

TEST_P(NoiseComesFirst, AndNeverHoldsTheBeginChar)
{
    constexpr int kNoise = 500;
    auto options = deviceOptions(GetParam(), {"R"});
    options.faults.noiseBytes = kNoise;
    DeviceThread sim(std::move(options));
    PcSide pc(sim.link());
    if (GetParam() == Mode::Receive) {
        ASSERT_TRUE(pc.write("^"));
    }
    const QByteArray got = pc.read(kNoise + 1);
    ASSERT_EQ(got.size(), kNoise + 1);
    EXPECT_EQ(got.indexOf('^'), kNoise);
}

INSTANTIATE_TEST_SUITE_P(Faults, NoiseComesFirst, ::testing::Values(Mode::Receive, Mode::Send),
                         [](const auto& param) { return param.param == Mode::Receive ? "BeforeTheAnswer" : "BeforeTheBeginRequest"; });

TEST(SimulatedDeviceFaults, StopAfterSendsOnlyTheFirstRecordsThenFallsSilent)
{
    auto options = deviceOptions(Mode::Send, {"R1", "R2", "R3", "R4"});
    options.faults.stopAfter = 2;
    DeviceThread sim(std::move(options));
    {
        PcSide pc(sim.link());
        ASSERT_EQ(pc.read(1), QByteArray("^"));
        ASSERT_TRUE(pc.write("^"));
        EXPECT_EQ(pc.read(6), QByteArray("R1@R2@"));
        EXPECT_TRUE(pc.readFor(300ms).isEmpty());
        EXPECT_TRUE(sim.eventsOf(Kind::SessionEnded).empty());
    }
    ASSERT_TRUE(sim.waitForEvents(Kind::SessionEnded));
    EXPECT_TRUE(sim.eventsOf(Kind::RecordsSent).empty());
}

TEST(SimulatedDeviceFaults, StopAfterStopsReadingSoThePcsQueueFills)
{
    auto options = deviceOptions(Mode::Receive);
    options.faults.stopAfter = 2;
    DeviceThread sim(std::move(options));
    {
        PcSide pc(sim.link());
        ASSERT_TRUE(pc.write("^"));
        ASSERT_EQ(pc.read(1), QByteArray("^"));
        ASSERT_TRUE(pc.write("R1@R2@"));
        ASSERT_TRUE(sim.waitForEvents(Kind::RecordsReceived));
        const QByteArray flood(1 << 20, 'x');
        qsizetype taken = 0;
        // The queue takes a bounded amount and then nothing more.
        ASSERT_TRUE(waitFor([&] {
            const qsizetype n = pc.writeWhatFits(flood);
            taken += n;
            return n == 0;
        }));
        EXPECT_LT(taken, 256 * 1024);
    }
    ASSERT_TRUE(sim.waitForEvents(Kind::SessionEnded));
    const DeviceEvent received = sim.eventsOf(Kind::RecordsReceived)[0];
    EXPECT_FALSE(received.complete);
    EXPECT_EQ(received.records, QByteArrayList({"R1", "R2"}));
}

TEST(SimulatedDeviceFaults, HangupAfterSendingCutsTheLineAndPublishesAFreshOne)
{
    auto options = deviceOptions(Mode::Send, {"R1", "R2", "R3"});
    options.faults.hangupAfter = 1;
    DeviceThread sim(std::move(options));
    {
        PcSide pc(sim.link());
        ASSERT_EQ(pc.read(1), QByteArray("^"));
        ASSERT_TRUE(pc.write("^"));
        EXPECT_EQ(pc.read(3), QByteArray("R1@"));
        EXPECT_TRUE(pc.seesHangUp());
        EXPECT_FALSE(pc.write("^", 1s));
    }
    ASSERT_TRUE(sim.waitForEvents(Kind::Published, 2));
    EXPECT_EQ(QFileInfo(sim.link()).symLinkTarget(), sim.device().ptsPath());
    EXPECT_EQ(sim.eventsOf(Kind::HungUp).size(), 1u);

    // The fresh line serves the next session the same way.
    PcSide pc(sim.link());
    ASSERT_EQ(pc.read(1), QByteArray("^"));
    ASSERT_TRUE(pc.write("^"));
    EXPECT_EQ(pc.read(3), QByteArray("R1@"));
    EXPECT_TRUE(pc.seesHangUp());
}

TEST(SimulatedDeviceFaults, HangupAfterReceivingKeepsTheRecordsBeforeIt)
{
    auto options = deviceOptions(Mode::Receive);
    options.faults.hangupAfter = 2;
    DeviceThread sim(std::move(options));
    PcSide pc(sim.link());
    ASSERT_TRUE(pc.write("^"));
    ASSERT_EQ(pc.read(1), QByteArray("^"));
    ASSERT_TRUE(pc.write("R1@R2@R3$"));
    EXPECT_TRUE(pc.seesHangUp());
    ASSERT_TRUE(sim.waitForEvents(Kind::RecordsReceived));
    const DeviceEvent received = sim.eventsOf(Kind::RecordsReceived)[0];
    EXPECT_FALSE(received.complete);
    EXPECT_EQ(received.records, QByteArrayList({"R1", "R2"}));
}

TEST(SimulatedDeviceFaults, SlowReadTakesOneByteAPause)
{
    constexpr auto kPerByte = 20ms;
    auto options = deviceOptions(Mode::Receive);
    options.faults.slowReadPerByte = kPerByte;
    DeviceThread sim(std::move(options));
    PcSide pc(sim.link());
    ASSERT_TRUE(pc.write("^"));
    ASSERT_EQ(pc.read(1), QByteArray("^"));

    const auto start = std::chrono::steady_clock::now();
    const QByteArray flood(1 << 20, 'x');
    qsizetype taken = 0;
    ASSERT_TRUE(waitFor([&] {
        const qsizetype n = pc.writeWhatFits(flood);
        taken += n;
        return n == 0;
    }));
    EXPECT_LT(taken, 256 * 1024);
    sim.device().stop();
    ASSERT_TRUE(sim.waitForEvents(Kind::SessionEnded));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // No further than one byte a pause since the flood began.
    const qsizetype read = sim.eventsOf(Kind::SessionEnded)[0].received.size() - 1; // less the "^"
    EXPECT_LE(read, elapsed / kPerByte + 1);
}

TEST(SimulatedDeviceFaults, BaudPacesTheBytesSent)
{
    constexpr int kBaud = 2400; // 240 bytes a second
    const QByteArray record(47, 'p');
    auto options = deviceOptions(Mode::Send, {record});
    options.faults.baud = kBaud;
    DeviceThread sim(std::move(options));
    PcSide pc(sim.link());
    ASSERT_EQ(pc.read(1), QByteArray("^"));

    // Nothing can leave the device before it has the answer.
    const auto answered = std::chrono::steady_clock::now();
    ASSERT_TRUE(pc.write("^"));
    EXPECT_EQ(pc.readThrough('$'), record + "$");
    const auto spread = std::chrono::steady_clock::now() - answered;
    // The 48th byte is due 47 byte times after the first: at least 195 ms at 240 a second.
    EXPECT_GE(spread, std::chrono::milliseconds(47 * 1000 / 240));
}

} // namespace
} // namespace ql::test
