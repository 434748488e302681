#include "support/FakeSerialControl.h"

#include "common/Failure.h"
#include "eventlog/Messages.h"
#include "serial/PortProcedures.h"

#include <gtest/gtest.h>

namespace ql {
namespace {

using test::FakeSerialControl;
using Op = FakeSerialControl::Op;
using Call = FakeSerialControl::Call;

LineControls controls(const char* port = "3", const char* baud = "9600", const char* data = "8",
                      const char* stop = "1")
{
    return LineControls {QString::fromLatin1(port), QString::fromLatin1(baud), QString::fromLatin1(data),
                         QString::fromLatin1(stop)};
}

TEST(OpenSerialPort, SetsTheControlInOrderThenOpens)
{
    FakeSerialControl MSCommI;
    OpenSerialPort(MSCommI, controls("2.5", "115200", "08", "1.5"));
    const std::vector<Call> expected {
        {Op::SetCommPort, "2"},          {Op::SetInputLen, "1"},   {Op::SetInBufferCount, "0"},
        {Op::SetOutBufferCount, "0"},    {Op::SetSettings, "115200,N,8,1.5"}, {Op::SetInputMode, "0"},
        {Op::SetPortOpen, "true"},
    };
    EXPECT_EQ(MSCommI.calls, expected);
    EXPECT_TRUE(MSCommI.portOpen);
}

TEST(OpenSerialPort, ReopensAnOpenPort)
{
    FakeSerialControl MSCommI;
    MSCommI.portOpen = true;
    OpenSerialPort(MSCommI, controls());
    ASSERT_GE(MSCommI.calls.size(), 2u);
    EXPECT_EQ(MSCommI.calls[MSCommI.calls.size() - 2], (Call {Op::SetPortOpen, "false"}));
    EXPECT_EQ(MSCommI.calls.back(), (Call {Op::SetPortOpen, "true"}));
    EXPECT_TRUE(MSCommI.portOpen);
}

struct SettingsCase {
    LineControls controls;
    const char* settings;
    qint16 port;
};

class OpenSerialPortBuilds : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(OpenSerialPortBuilds, TheSettingsTextAndPortNumber)
{
    FakeSerialControl MSCommI;
    OpenSerialPort(MSCommI, GetParam().controls);
    EXPECT_EQ(MSCommI.settings, QString::fromLatin1(GetParam().settings));
    EXPECT_EQ(MSCommI.commPort, GetParam().port);
}

INSTANTIATE_TEST_SUITE_P(Controls, OpenSerialPortBuilds,
                         ::testing::Values(SettingsCase {controls("1", "9600", "8", "1"), "9600,N,8,1", 1},
                                           SettingsCase {controls("3.5", "115200", "08", "1"), "115200,N,8,1", 4},
                                           SettingsCase {controls("16.6", "921600", "7", "2"), "921600,N,7,2", 17},
                                           SettingsCase {controls("4", "abc", "", "1.50"), "abc,N,0,1.5", 4},
                                           SettingsCase {controls("5", " 9600", "8.0", "2"), " 9600,N,8,2", 5}));

struct StepCase {
    const char* name;
    Op failing;
    const QString* message;
};

class OpenSerialPortStep : public ::testing::TestWithParam<StepCase> {};

TEST_P(OpenSerialPortStep, FailureCarriesTheStepMessageAndStopsThere)
{
    FakeSerialControl MSCommI;
    MSCommI.failOn(GetParam().failing);
    try {
        OpenSerialPort(MSCommI, controls());
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), Failure::kProgramError);
        EXPECT_EQ(failure.description(), *GetParam().message);
        EXPECT_TRUE(failure.source().isEmpty());
    }
    EXPECT_EQ(MSCommI.calls.back().op, GetParam().failing);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, OpenSerialPortStep,
    ::testing::Values(StepCase {"CommPort", Op::SetCommPort, &msg::kErrorSettingPort},
                      StepCase {"InputLen", Op::SetInputLen, &msg::kErrorSettingIo},
                      StepCase {"InBufferCount", Op::SetInBufferCount, &msg::kErrorSettingIo},
                      StepCase {"OutBufferCount", Op::SetOutBufferCount, &msg::kErrorSettingIo},
                      StepCase {"Settings", Op::SetSettings, &msg::kErrorSettingBaud},
                      StepCase {"InputMode", Op::SetInputMode, &msg::kErrorSettingInputMode},
                      StepCase {"PortOpen", Op::SetPortOpen, &msg::kErrorOpeningPort}),
    [](const ::testing::TestParamInfo<StepCase>& param) { return std::string(param.param.name); });

TEST(OpenSerialPort, SettingsThePortRefusesAtTheOpenAreABaudRateError)
{
    FakeSerialControl MSCommI;
    MSCommI.onCall = [](const Call& call) {
        if (call == Call {Op::SetPortOpen, "true"})
            throw LineSettingsRefused(EINVAL, QStringLiteral("the driver does not run at 9600 baud"));
    };
    try {
        OpenSerialPort(MSCommI, controls());
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), Failure::kProgramError);
        EXPECT_EQ(failure.description(), msg::kErrorSettingBaud);
    }
    EXPECT_EQ(MSCommI.countOf(Op::SetPortOpen), 1);
}

TEST(OpenSerialPort, PortTextOutOf16BitsFailsInTheFirstStep)
{
    FakeSerialControl MSCommI;
    try {
        OpenSerialPort(MSCommI, controls("99999"));
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.description(), msg::kErrorSettingPort);
    }
    EXPECT_TRUE(MSCommI.calls.empty());
}

TEST(OpenSerialPort, FailingCloseBeforeReopenIsAnOpeningError)
{
    FakeSerialControl MSCommI;
    MSCommI.portOpen = true;
    MSCommI.failOn(Op::SetPortOpen);
    try {
        OpenSerialPort(MSCommI, controls());
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.description(), msg::kErrorOpeningPort);
    }
    EXPECT_EQ(MSCommI.countOf(Op::SetPortOpen), 1);
}

TEST(CloseSerialPort, ClosesAnOpenPortAndLeavesAClosedOneAlone)
{
    FakeSerialControl MSCommI;
    CloseSerialPort(MSCommI);
    EXPECT_EQ(MSCommI.countOf(Op::SetPortOpen), 0);

    MSCommI.portOpen = true;
    CloseSerialPort(MSCommI);
    EXPECT_FALSE(MSCommI.portOpen);
    EXPECT_EQ(MSCommI.calls, (std::vector<Call> {{Op::SetPortOpen, "false"}}));
}

TEST(CloseSerialPort, FailureIsAClosingError)
{
    FakeSerialControl MSCommI;
    MSCommI.portOpen = true;
    MSCommI.failOn(Op::SetPortOpen);
    try {
        CloseSerialPort(MSCommI);
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), Failure::kProgramError);
        EXPECT_EQ(failure.description(), msg::kErrorClosingPort);
    }
}

TEST(SendPaced, WritesOneCharacterAtATimeAfterTheQueueEmpties)
{
    FakeSerialControl MSCommI;
    MSCommI.portOpen = true;
    MSCommI.drainPerPoll = 0;
    // Each character stays queued for three polls before it leaves.
    int polls = 0;
    MSCommI.onCall = [&](const Call& call) {
        if (call.op == Op::OutBufferCount && MSCommI.queued() > 0 && ++polls % 3 == 0)
            MSCommI.setOutBufferCount(0);
    };
    EXPECT_TRUE(SendPaced(MSCommI, QStringLiteral("AB\xff$")));
    EXPECT_EQ(MSCommI.written, QStringLiteral("AB\xff$"));
    EXPECT_EQ(MSCommI.mostQueued, 1);
    EXPECT_EQ(MSCommI.countOf(Op::Output), 4);
    for (const Call& call : MSCommI.calls) {
        if (call.op == Op::Output) {
            EXPECT_EQ(call.value.size(), 1);
        }
    }
}

TEST(SendPaced, EmptyTextOutputsNothing)
{
    FakeSerialControl MSCommI;
    MSCommI.portOpen = true;
    EXPECT_TRUE(SendPaced(MSCommI, QString()));
    EXPECT_TRUE(MSCommI.calls.empty());
}

TEST(SendPaced, GivesUpQuietlyWhenTheQueueNeverEmpties)
{
    FakeSerialControl MSCommI;
    MSCommI.portOpen = true;
    MSCommI.drainPerPoll = 0;
    EXPECT_FALSE(SendPaced(MSCommI, QStringLiteral("xyz"), std::chrono::milliseconds(20)));
    EXPECT_EQ(MSCommI.written, QStringLiteral("x"));
}

TEST(SendPaced, TextLongerThan32767SendsNothing)
{
    FakeSerialControl MSCommI;
    MSCommI.portOpen = true;
    EXPECT_FALSE(SendPaced(MSCommI, QString(32768, QLatin1Char('a'))));
    EXPECT_TRUE(MSCommI.calls.empty());
    EXPECT_TRUE(SendPaced(MSCommI, QString(32767, QLatin1Char('a'))));
    EXPECT_EQ(MSCommI.written.size(), 32767);
}

TEST(SendPaced, FailureMidTextStopsAndReportsFalse)
{
    FakeSerialControl MSCommI;
    MSCommI.portOpen = true;
    MSCommI.failOn(Op::Output, 3);
    EXPECT_FALSE(SendPaced(MSCommI, QStringLiteral("abcdef")));
    EXPECT_EQ(MSCommI.written, QStringLiteral("ab"));
    EXPECT_EQ(MSCommI.countOf(Op::Output), 3);
}

TEST(SendPaced, ClosedPortSendsNothing)
{
    FakeSerialControl MSCommI;
    EXPECT_FALSE(SendPaced(MSCommI, QStringLiteral("abc")));
    EXPECT_TRUE(MSCommI.written.isEmpty());
}

TEST(SendPaced, AbortClosingThePortMidTextEndsIt)
{
    FakeSerialControl MSCommI;
    MSCommI.portOpen = true;
    MSCommI.onCall = [&](const Call& call) {
        if (call.op == Op::Output && MSCommI.written.size() == 1)
            MSCommI.portOpen = false;
    };
    EXPECT_FALSE(SendPaced(MSCommI, QStringLiteral("abc")));
    EXPECT_EQ(MSCommI.written, QStringLiteral("a"));
}

} // namespace
} // namespace ql
