#include "TransferWindowFixture.h"

#include "eventlog/Messages.h"
#include "hhcsim/DataFile.h"
#include "serial/SystemSerialControl.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

namespace ql::test {
namespace {

using hhcsim::DeviceEvent;
using Kind = DeviceEvent::Kind;
using namespace std::chrono_literals;

struct SendCase {
    const char* name;
    QByteArrayList records;
};

class PcToHhcSendsRecordsExactly : public TransferWindowTest, public ::testing::WithParamInterface<SendCase> {};

TEST_P(PcToHhcSendsRecordsExactly, AfterTheHandshake)
{
    const QByteArrayList& sent = GetParam().records;
    startDevice(deviceOptions(hhcsim::Mode::Receive));
    const QString path = dataPath(QStringLiteral("send.txt"));
    writeFile(path, hhcsim::formatDataFile(sent));
    choosePcToHhc(path);
    browse(path);
    ASSERT_EQ(records(), sent);

    start();

    const DeviceEvent session = lastSession();
    EXPECT_EQ(session.received, "^" + recordsOnWire(sent));
    EXPECT_EQ(session.sent, QByteArray("^"));
    const QStringList log = events();
    ASSERT_FALSE(log.isEmpty());
    EXPECT_EQ(log.first(), msg::kPleaseWait);
    EXPECT_TRUE(log.contains(msg::recordsFound(static_cast<int>(sent.size()))));
    EXPECT_TRUE(log.filter(QStringLiteral(" records remaining")).isEmpty());
    EXPECT_EQ(log.last(), msg::kTransferSucceeded);
    EXPECT_EQ(status(), msg::kTransferSucceeded);
    EXPECT_FALSE(window().serialControl()->PortOpen());
    // The list is sent, not consumed.
    EXPECT_EQ(records(), sent);
}

INSTANTIATE_TEST_SUITE_P(
    Wire, PcToHhcSendsRecordsExactly,
    ::testing::Values(SendCase {"SingleRecordEndsWithEndCharacterAlone", {"R1"}},
                      SendCase {"SingleEmptyRecordIsEndCharacterAlone", {""}},
                      SendCase {"EmptyRecordsPutSeparatorsSideBySide", {"", "", ""}},
                      SendCase {"EmptyRecordBetweenTwo", {"A", "", "B"}},
                      SendCase {"BeginCharacterInsideRecordsGoesUnescaped", {"^e^", "f^"}},
                      SendCase {"HighBytesTravelUnchanged", {allHighBytes(), "x" + allHighBytes() + "y"}}),
    [](const ::testing::TestParamInfo<SendCase>& param) { return std::string(param.param.name); });

TEST_F(TransferWindowTest, UnixTextFileIsSentOneRecordPerLine)
{
    startDevice(deviceOptions(hhcsim::Mode::Receive));
    const QString path = dataPath(QStringLiteral("send.txt"));
    writeFile(path, "L1\n\nL3\nL4");
    choosePcToHhc(path);
    browse(path);
    EXPECT_EQ(events().last(), msg::foundRecords(4));

    start();

    EXPECT_EQ(lastSession().received, QByteArray("^L1@@L3@L4$"));
    EXPECT_EQ(events().last(), msg::kTransferSucceeded);
}

struct RefusedSendCase {
    const char* name;
    QByteArray file; // empty: no file chosen through the browse command
    QString reason;
};

class PcToHhcRefusesBeforeOpeningThePort : public TransferWindowTest,
                                          public ::testing::WithParamInterface<RefusedSendCase> {};

TEST_P(PcToHhcRefusesBeforeOpeningThePort, WhatTheDeviceCouldNotTellApart)
{
    startDevice(deviceOptions(hhcsim::Mode::Receive));
    const QString path = dataPath(QStringLiteral("send.txt"));
    writeFile(path, GetParam().file);
    choosePcToHhc(path);
    if (!GetParam().file.isEmpty())
        browse(path);

    start();

    EXPECT_EQ(events(), (QStringList {msg::kPleaseWait, msg::kTransferFailed, GetParam().reason}));
    EXPECT_TRUE(device().eventsOf(Kind::PortOpened).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Lists, PcToHhcRefusesBeforeOpeningThePort,
    ::testing::Values(RefusedSendCase {"PathGivenButNothingLoaded", {}, msg::kNothingToSend},
                      RefusedSendCase {"SeparatorInsideARecord", "R1\r\na@b\r\n",
                                       msg::recordHoldsProtocolCharacter(2, QStringLiteral("@"))},
                      RefusedSendCase {"EndCharacterInsideARecord", "c$d\r\n",
                                       msg::recordHoldsProtocolCharacter(1, QStringLiteral("$"))}),
    [](const ::testing::TestParamInfo<RefusedSendCase>& param) { return std::string(param.param.name); });

TEST_F(TransferWindowTest, DeviceReadingAtLineSpeedGetsEverythingThoughPortClosesFirst)
{
    // 61.5 KB read at the pace of a 115200-baud line: the PC is done well before the
    // device, which must still get the last records and the end character.
    const QByteArrayList sent = numberedRecords(1500);
    auto options = deviceOptions(hhcsim::Mode::Receive);
    options.faults.slowReadPerByte = 87us;
    startDevice(options);
    const QString path = dataPath(QStringLiteral("send.txt"));
    writeFile(path, hhcsim::formatDataFile(sent));
    choosePcToHhc(path);
    browse(path);

    start();
    EXPECT_EQ(events().last(), msg::kTransferSucceeded) << events().join(QLatin1Char('|')).toStdString();

    // The device is still reading: as slowly as the machine lets it.
    ASSERT_TRUE(waitFor([this] { return !device().eventsOf(Kind::RecordsReceived).empty(); }, 120s));
    const DeviceEvent received = device().eventsOf(Kind::RecordsReceived).back();
    EXPECT_TRUE(received.complete) << received.text.toStdString();
    EXPECT_TRUE(received.records == sent) << received.text.toStdString();
    EXPECT_TRUE(lastSession().received.endsWith('$'));
}

TEST_F(TransferWindowTest, DeviceThatStopsReadingFailsTheSend)
{
    // Far more than the line holds is still to go when the device stops. Its
    // pseudo-terminal hides minutes of reading; a shorter bound keeps the test quick.
    auto options = deviceOptions(hhcsim::Mode::Receive);
    options.faults.stopAfter = 10;
    startDevice(options);
    static_cast<SystemSerialControl*>(window().serialControl())->setOutputStall(3s);
    const QString path = dataPath(QStringLiteral("send.txt"));
    writeFile(path, hhcsim::formatDataFile(numberedRecords(2000)));
    choosePcToHhc(path);
    browse(path);

    start();

    const QStringList log = events();
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log.at(log.size() - 2), msg::kTransferFailed);
    EXPECT_TRUE(log.last() == msg::kDeviceNotResponding || log.last() == msg::kErrorClosingPort)
        << log.last().toStdString();
    EXPECT_FALSE(window().serialControl()->PortOpen());
}

TEST_F(TransferWindowTest, PcToHhcEndsWithFailureWhenDeviceHangsUpMidway)
{
    auto options = deviceOptions(hhcsim::Mode::Receive);
    options.faults.hangupAfter = 2;
    startDevice(options);
    const QString path = dataPath(QStringLiteral("send.txt"));
    // More than the line holds, so that the PC is still sending when the device goes.
    writeFile(path, hhcsim::formatDataFile(numberedRecords(4000)));
    choosePcToHhc(path);
    browse(path);

    start();

    EXPECT_FALSE(device().eventsOf(Kind::HungUp).empty());
    const QStringList log = events();
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log.at(log.size() - 2), msg::kTransferFailed);
    EXPECT_FALSE(log.last().isEmpty());
    EXPECT_FALSE(log.contains(msg::kTransferSucceeded));
    EXPECT_EQ(status(), log.last());
    EXPECT_FALSE(window().serialControl()->PortOpen());
}

TEST_F(TransferWindowTest, AbortDuringHandshakeEndsSendWithFailure)
{
    auto options = deviceOptions(hhcsim::Mode::Receive);
    options.faults.noAnswer = true;
    startDevice(options);
    const QString path = dataPath(QStringLiteral("send.txt"));
    writeFile(path, hhcsim::formatDataFile({"R1"}));
    choosePcToHhc(path);
    browse(path);

    // Abort discards output the device has not read, so it waits until the "^" is taken.
    whileRunning([this] { return !device().eventsOf(Kind::SessionBegan).empty(); }, [this] { abort(); });
    start();

    const QStringList log = events();
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log.mid(log.size() - 2), (QStringList {msg::kTransferFailed, msg::kPortClosedByAbort}));
    EXPECT_EQ(lastSession().received, QByteArray("^"));
}

TEST_F(TransferWindowTest, FileRoundTripsThroughDeviceByteForByte)
{
    const QByteArrayList original {"first", "", "^caret^ inside", allHighBytes(), "trailing blanks  ", "last"};
    const QString sendPath = dataPath(QStringLiteral("send.txt"));
    writeFile(sendPath, hhcsim::formatDataFile(original));

    startDevice(deviceOptions(hhcsim::Mode::Receive));
    choosePcToHhc(sendPath);
    browse(sendPath);
    start();
    ASSERT_EQ(events().last(), msg::kTransferSucceeded);
    ASSERT_TRUE(device().waitForEvents(Kind::RecordsReceived));
    const DeviceEvent received = device().eventsOf(Kind::RecordsReceived).back();
    ASSERT_TRUE(received.complete);

    // The device keeps what it got in a file of its own and sends that back.
    const QString devicePath = dataPath(QStringLiteral("device.txt"));
    QString error;
    ASSERT_TRUE(hhcsim::writeDataFile(devicePath, received.records, error)) << error.toStdString();
    QByteArrayList stored;
    ASSERT_TRUE(hhcsim::readDataFile(devicePath, stored, error)) << error.toStdString();
    startDevice(deviceOptions(hhcsim::Mode::Send, stored));
    const QString receivePath = dataPath(QStringLiteral("received.txt"));
    chooseHhcToPc(receivePath);
    start();

    EXPECT_EQ(events().last(), msg::writtenRecords(static_cast<int>(original.size())));
    EXPECT_EQ(readFile(receivePath), readFile(sendPath).value());
}

} // namespace
} // namespace ql::test
