#include "serial/SerialDevice.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <optional>
#include <thread>

// The ports come from scripts/test-windows: COM1 and COM2 are the two ends of one
// line, COM4 and COM5 of another, and the far end of COM3 hangs up after the first
// character it receives.
namespace ql {
namespace {

constexpr char kProgramPort[] = "COM1";
constexpr char kFarPort[] = "COM2";
constexpr char kVanishingPort[] = "COM3";
constexpr char kStalledPort[] = "COM4";
constexpr char kMissingPort[] = "COM42";

constexpr LineSettings k9600 {9600, Parity::None, 8, StopBits::One};

using test::waitFor;

// Reads until `size` bytes have come, or the bound runs out.
std::string receive(SerialDevice& device, std::size_t size)
{
    std::string got;
    waitFor([&] {
        got += device.read(size - got.size());
        return got.size() >= size;
    });
    return got;
}

void send(SerialDevice& device, const std::string& bytes)
{
    device.write(bytes.data(), bytes.size());
    EXPECT_TRUE(waitFor([&] { return device.waitingOut() == 0; }));
}

std::string everyByteValue(int rounds)
{
    std::string bytes;
    for (int round = 0; round < rounds; ++round) {
        for (int value = 0; value < 256; ++value)
            bytes.push_back(static_cast<char>(value));
    }
    return bytes;
}

std::optional<SerialError> errorOf(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const SerialError& error) {
        return error;
    }
    return std::nullopt;
}

struct Line {
    SerialDevice program {kProgramPort, k9600};
    SerialDevice farEnd {kFarPort, k9600};
};

struct SettingsCase {
    const char* name;
    LineSettings settings;
    bool taken;
};

class SerialDeviceWinSettings : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(SerialDeviceWinSettings, TakesOrRefusesAndTheLineStillCarries)
{
    const SettingsCase& c = GetParam();
    Line line;
    const std::optional<SerialError> error = errorOf([&] { line.program.apply(c.settings); });
    if (c.taken) {
        EXPECT_FALSE(error) << error->description();
    } else {
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), SerialError::Kind::Refused) << error->description();
        EXPECT_NE(error->description().find(kProgramPort), std::string::npos) << error->description();
    }
    send(line.program, "ok");
    EXPECT_EQ(receive(line.farEnd, 2), "ok");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialDeviceWinSettings,
    ::testing::Values(SettingsCase {"Plain", {115200, Parity::None, 8, StopBits::One}, true},
                      SettingsCase {"TwoStopBits", {4800, Parity::None, 8, StopBits::Two}, true},
                      // A pseudo-terminal carries whole bytes: its driver drops the parity.
                      SettingsCase {"ParityTheDriverDrops", {4800, Parity::Even, 8, StopBits::One}, false},
                      SettingsCase {"RateNoDriverRuns", {123457, Parity::None, 8, StopBits::One}, false}),
    [](const ::testing::TestParamInfo<SettingsCase>& param) { return std::string(param.param.name); });

TEST(SerialDeviceWin, ReadsReturnAtOnceAndCountWhatWaits)
{
    Line line;
    EXPECT_TRUE(line.program.read(100).empty());
    EXPECT_EQ(line.program.waitingIn(), 0);

    send(line.farEnd, "hello");
    EXPECT_TRUE(waitFor([&] { return line.program.waitingIn() == 5; })) << line.program.waitingIn();
    EXPECT_EQ(line.program.read(1), "h");
    EXPECT_EQ(line.program.waitingIn(), 4);
    EXPECT_EQ(line.program.read(100), "ello");
    EXPECT_EQ(line.program.waitingIn(), 0);
}

TEST(SerialDeviceWin, BlockingWaitsEndOnceTheirEventMayHaveHappened)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    Line line;
    send(line.farEnd, "x");
    EXPECT_FALSE(line.program.await(PortEvent::Input, -1, deadline));
    EXPECT_LT(std::chrono::steady_clock::now(), deadline);
    EXPECT_EQ(receive(line.program, 1), "x");

    line.program.write("y", 1);
    EXPECT_FALSE(line.program.await(PortEvent::OutputSent, -1, deadline));
    EXPECT_LT(std::chrono::steady_clock::now(), deadline);
    EXPECT_EQ(receive(line.farEnd, 1), "y");
}

// A silent line's wait sleeps on the driver's event until a character comes or
// the wake handle is set; it may end early, and its caller looks again.
TEST(SerialDeviceWin, AWaitForInputEndsWhenACharacterComesOrItIsWoken)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    Line line;
    EXPECT_NE(line.program.readiness(PortEvent::Input).handle, -1);
    std::thread farEnd([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        send(line.farEnd, "z");
    });
    while (line.program.waitingIn() == 0 && std::chrono::steady_clock::now() < deadline)
        EXPECT_FALSE(line.program.await(PortEvent::Input, -1, deadline));
    farEnd.join();
    EXPECT_EQ(line.program.read(1), "z");

    const HANDLE wake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread waker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        SetEvent(wake);
    });
    bool woken = false;
    while (!woken && std::chrono::steady_clock::now() < deadline)
        woken = line.program.await(PortEvent::Input, reinterpret_cast<std::intptr_t>(wake), deadline);
    waker.join();
    CloseHandle(wake);
    EXPECT_TRUE(woken);
    EXPECT_EQ(line.program.waitingIn(), 0);
}

TEST(SerialDeviceWin, EveryByteValuePassesBothWays)
{
    const std::string bytes = everyByteValue(4);
    Line line;
    send(line.program, bytes);
    EXPECT_EQ(receive(line.farEnd, bytes.size()), bytes);
    send(line.farEnd, bytes);
    EXPECT_EQ(receive(line.program, bytes.size()), bytes);
}

TEST(SerialDeviceWin, DiscardDropsOnlyTheInputThatWaits)
{
    Line line;
    send(line.farEnd, "stale");
    ASSERT_TRUE(waitFor([&] { return line.program.waitingIn() == 5; }));
    EXPECT_EQ(line.program.read(2), "st");
    line.program.discardIn();
    EXPECT_EQ(line.program.waitingIn(), 0);
    send(line.farEnd, "new");
    EXPECT_EQ(receive(line.program, 3), "new");
}

TEST(SerialDeviceWin, CloseSendsAllThatIsQueuedWhileTheFarEndTakesIt)
{
    // More than the line's buffers hold, so that the close itself has to hand it on.
    const std::string bytes = everyByteValue(1024);
    Line line;
    line.program.write(bytes.data(), bytes.size());
    ASSERT_GT(line.program.waitingOut(), 0);

    std::string got;
    std::thread reader([&] { got = receive(line.farEnd, bytes.size()); });
    const std::optional<SerialError> error = errorOf([&] { line.program.close(); });
    reader.join();
    EXPECT_FALSE(error) << error->description();
    EXPECT_EQ(got.size(), bytes.size());
    EXPECT_TRUE(got == bytes);
}

TEST(SerialDeviceWin, CloseFailsWhenTheFarEndStopsTaking)
{
    const std::string bytes = everyByteValue(1024);
    SerialDevice program(kStalledPort, k9600);
    program.write(bytes.data(), bytes.size());
    const std::optional<SerialError> error = errorOf([&] { program.close(std::chrono::milliseconds(500)); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), SerialError::Kind::Failed);
    EXPECT_NE(error->description().find("is lost"), std::string::npos) << error->description();
    // Closed all the same: the port opens again.
    EXPECT_FALSE(errorOf([] { SerialDevice(kStalledPort, k9600).discardOut(); }));
}

TEST(SerialDeviceWin, AVanishedFarEndFailsTheNextOperation)
{
    SerialDevice program(kVanishingPort, k9600);
    send(program, "x");
    std::optional<SerialError> error;
    EXPECT_TRUE(waitFor([&] {
        error = errorOf([&] { program.write("y", 1); });
        return error.has_value();
    }));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), SerialError::Kind::Gone) << error->description();
    // Nothing was left to send, so nothing was lost.
    EXPECT_FALSE(errorOf([&] { program.close(); }));
}

TEST(SerialDeviceWin, AMissingPortFailsToOpenWithTheSystemsText)
{
    const std::optional<SerialError> error = errorOf([] { SerialDevice(kMissingPort, k9600); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->systemNumber(), static_cast<int>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(error->description().rfind(std::string("Cannot open ") + kMissingPort + ": ", 0), 0u)
        << error->description();
    EXPECT_EQ(error->description().find("system error"), std::string::npos) << error->description();
}

} // namespace
} // namespace ql
