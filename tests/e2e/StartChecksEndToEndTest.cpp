#include "TransferWindowFixture.h"

#include "eventlog/Messages.h"

#include <gtest/gtest.h>

namespace ql::test {
namespace {

struct StartCase {
    const char* name;
    QString port;
    QString file;
    QString process; // empty: the PC->HHC entry as selected
    QStringList log;
};

class StartChecksSettings : public TransferWindowTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartChecksSettings, BeforeAnyTransfer)
{
    const StartCase& c = GetParam();
    choosePcToHhc(dataPath(QStringLiteral("send.txt")));
    setPortText(c.port);
    setFileText(c.file);
    if (!c.process.isEmpty())
        setProcessText(c.process);

    start();

    EXPECT_EQ(events(), c.log);
    EXPECT_EQ(status(), c.log.last());
    EXPECT_TRUE(control("fmSettings")->isEnabled());
    EXPECT_TRUE(control("fmProcesses")->isEnabled());
    EXPECT_FALSE(window().serialControl()->PortOpen());
}

const QString kFile = QStringLiteral("data.txt");
const QStringList kPortRefused {msg::kPleaseWait, msg::kPortSelectionError};
// A port that passes the check reaches the transfer, which finds nothing loaded to send.
const QStringList kPortPassed {msg::kPleaseWait, msg::kTransferFailed, msg::kNothingToSend};

INSTANTIATE_TEST_SUITE_P(
    Window, StartChecksSettings,
    ::testing::Values(
        StartCase {"PortZeroRefused", "0", kFile, {}, kPortRefused},
        StartCase {"Port100Refused", "100", kFile, {}, kPortRefused},
        StartCase {"EmptyPortRefused", "", kFile, {}, kPortRefused},
        StartCase {"PortWithoutNumberRefused", "abc", kFile, {}, kPortRefused},
        StartCase {"Port16Passes", "16", kFile, {}, kPortPassed},
        StartCase {"FractionalPortBelow17Passes", "16.5", kFile, {}, kPortPassed},
        StartCase {"Port99Passes", "99", kFile, {}, kPortPassed},
        StartCase {"BlankPathRefused", "1", "   ", {}, {msg::kPleaseWait, msg::kSpecifiedFileError}},
        StartCase {"DirectionInWrongCaseRefused", "1", kFile, "pc->hhc",
                   {msg::kPleaseWait, msg::kProcessSelectionError}},
        StartCase {"OtherDirectionInWrongCaseRefused", "1", kFile, "HHC->pc",
                   {msg::kPleaseWait, msg::kProcessSelectionError}}),
    [](const ::testing::TestParamInfo<StartCase>& param) { return std::string(param.param.name); });

TEST_F(TransferWindowTest, ReceiveIntoADeviceNodeIsRefusedBeforeThePortOpens)
{
    startDevice(deviceOptions(hhcsim::Mode::Send, {"R1"}));
    chooseHhcToPc(QStringLiteral("/dev/null"));

    start();

    EXPECT_EQ(events(), (QStringList {msg::kPleaseWait, msg::kFileError,
                                      msg::dataFileRefused(QStringLiteral("/dev/null"),
                                                           QStringLiteral("not a regular file"))}));
    EXPECT_TRUE(device().eventsOf(hhcsim::DeviceEvent::Kind::PortOpened).empty());
}

TEST_F(TransferWindowTest, PortOneRunsTransferOnDeviceNamedOne)
{
    startDevice(deviceOptions(hhcsim::Mode::Receive));
    const QString path = dataPath(QStringLiteral("send.txt"));
    writeFile(path, "R\r\n");
    choosePcToHhc(path);
    browse(path);
    setPortText(QStringLiteral("1"));

    start();

    const QStringList log = events();
    ASSERT_FALSE(log.isEmpty());
    EXPECT_EQ(log.first(), msg::kPleaseWait);
    EXPECT_TRUE(log.contains(msg::recordsFound(1)));
    EXPECT_EQ(log.last(), msg::kTransferSucceeded);
    EXPECT_EQ(lastSession().received, QByteArray("^R$"));
}

} // namespace
} // namespace ql::test
