#include "common/Failure.h"
#include "eventlog/Messages.h"
#include "serial/BlockingWaiter.h"
#include "serial/PortProcedures.h"
#include "serial/SystemSerialControl.h"
#include "support/EnvironmentGuard.h"
#include "support/Files.h"
#include "support/PtyPair.h"
#include "support/WaitFor.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The test reads the line back as the far end sees it: termios2 on the master.
#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <thread>

namespace ql {
namespace {

using test::PtyPair;
using test::waitFor;

constexpr qint16 kPort = 7;

PortMap mapWith(qint16 number, const QString& device)
{
    QProcessEnvironment environment;
    environment.insert(PortMap::variableName(number), device);
    return PortMap::fromRule(environment, {});
}

// A control whose port kPort is the program side of the pair.
struct PtyPort {
    PtyPair pty;
    SystemSerialControl control {mapWith(kPort, pty.slavePath())};

    explicit PtyPort(bool open = true)
    {
        control.setCommPort(kPort);
        if (open)
            control.setPortOpen(true);
    }

    termios2 line() const
    {
        termios2 tio {};
        EXPECT_EQ(::ioctl(pty.masterFd(), TCGETS2, &tio), 0);
        return tio;
    }
};

QByteArray pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return bytes;
}

// Runs the operation and returns the failure it must throw.
Failure failureOf(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const Failure& failure) {
        return failure;
    }
    ADD_FAILURE() << "no failure";
    return Failure(0, {});
}

struct LineCase {
    const char* settings;
    unsigned baud;
    tcflag_t size;
    bool parity;
    bool odd;
    bool twoStops;
};

class SystemSerialControlLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(SystemSerialControlLine, SettingsReachTheDeviceAtOpenAndWhileOpen)
{
    const LineCase& c = GetParam();
    auto check = [&c](const termios2& tio) {
        EXPECT_EQ(tio.c_ospeed, c.baud);
        EXPECT_EQ(tio.c_ispeed, c.baud);
        EXPECT_EQ(tio.c_cflag & CSIZE, c.size);
        EXPECT_EQ((tio.c_cflag & PARENB) != 0, c.parity);
        EXPECT_EQ((tio.c_cflag & PARODD) != 0, c.odd);
        EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.twoStops);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(tio.c_oflag & OPOST, 0u);
        EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
    };

    PtyPort atOpen(false);
    atOpen.control.setSettings(QString::fromLatin1(c.settings));
    atOpen.control.setPortOpen(true);
    check(atOpen.line());

    PtyPort whileOpen;
    whileOpen.control.setSettings(QString::fromLatin1(c.settings));
    check(whileOpen.line());
    EXPECT_EQ(whileOpen.control.Settings(), QString::fromLatin1(c.settings));
}

INSTANTIATE_TEST_SUITE_P(Settings, SystemSerialControlLine,
                         ::testing::Values(LineCase {"921600,N,8,1", 921600, CS8, false, false, false},
                                           LineCase {"56000,N,8,1", 56000, CS8, false, false, false},
                                           LineCase {"9600,n,8,2", 9600, CS8, false, false, true},
                                           LineCase {"115200,N,8,1", 115200, CS8, false, false, false}));

// A pseudo-terminal carries whole bytes: its driver forces 8 data bits and no
// parity, and the control reports that as a refusal rather than pretend.
TEST(SystemSerialControl, SettingsTheDriverAltersAreRefused)
{
    PtyPort port;
    port.control.setSettings(QStringLiteral("4800,N,8,2"));
    for (const char* altered : {"4800,E,8,1", "4800,O,8,1", "4800,N,7,1", "300,N,5,1.5"}) {
        const Failure failure = failureOf([&] { port.control.setSettings(QString::fromLatin1(altered)); });
        EXPECT_EQ(failure.number(), EINVAL);
        EXPECT_TRUE(failure.description().contains(port.pty.slavePath())) << failure.what();
        EXPECT_TRUE(failure.description().contains(QStringLiteral("driver"))) << failure.what();
        EXPECT_EQ(port.control.Settings(), QStringLiteral("4800,N,8,2"));
        const termios2 line = port.line();
        EXPECT_EQ(line.c_ospeed, 4800u);
        EXPECT_NE(line.c_cflag & CSTOPB, 0u);
    }
}

TEST(SystemSerialControl, RefusedSettingsKeepTheOldOnes)
{
    PtyPort port;
    port.control.setSettings(QStringLiteral("19200,N,8,1"));
    for (const char* bad : {"19200,N,8,1.5", "0,N,8,1", "19200,X,8,1", "fast"}) {
        const Failure failure = failureOf([&] { port.control.setSettings(QString::fromLatin1(bad)); });
        EXPECT_TRUE(failure.description().contains(QString::fromLatin1(bad))) << failure.what();
        EXPECT_EQ(port.control.Settings(), QStringLiteral("19200,N,8,1"));
        EXPECT_EQ(port.line().c_ospeed, 19200u);
    }
}

TEST(SystemSerialControl, CountsIncludeWhatTheControlHasBuffered)
{
    PtyPort port;
    EXPECT_EQ(port.control.InBufferCount(), 0);
    EXPECT_EQ(port.control.Input(), QString());

    port.pty.write(QByteArray("abc\xff\x00z", 6));
    ASSERT_TRUE(waitFor([&] { return port.control.InBufferCount() == 6; }));
    port.control.setInputLen(1);
    EXPECT_EQ(port.control.Input(), QStringLiteral("a"));
    EXPECT_EQ(port.control.InBufferCount(), 5);
    port.pty.write("!");

    // What arrived after the last read is counted once the buffered part is taken.
    QString received;
    ASSERT_TRUE(waitFor([&] {
        while (port.control.InBufferCount() > 0)
            received += port.control.Input();
        return received.size() >= 6;
    }));
    EXPECT_EQ(received, QString::fromLatin1("bc\xff\0z!", 6));
}

TEST(SystemSerialControl, DiscardingInputEmptiesBothBuffers)
{
    PtyPort port;
    port.control.setInputLen(1);
    port.pty.write("0123456789");
    ASSERT_TRUE(waitFor([&] { return port.control.InBufferCount() == 10; }));
    EXPECT_EQ(port.control.Input(), QStringLiteral("0"));
    port.control.setInBufferCount(0);
    EXPECT_EQ(port.control.InBufferCount(), 0);
    EXPECT_EQ(port.control.Input(), QString());
    port.pty.write("x");
    ASSERT_TRUE(waitFor([&] { return port.control.InBufferCount() == 1; }));
    EXPECT_EQ(port.control.Input(), QStringLiteral("x"));
}

TEST(SystemSerialControl, OutputQueuesWhatTheDeviceCannotTakeAndCountsIt)
{
    PtyPort port;
    const QByteArray block = pattern(200000);
    port.control.setOutput(QString::fromLatin1(block));
    EXPECT_EQ(port.control.OutBufferCount(), 32767);

    QByteArray received;
    ASSERT_TRUE(waitFor([&] {
        received += port.pty.readAvailable();
        return port.control.OutBufferCount() == 0;
    }));
    received += port.pty.read(block.size() - static_cast<int>(received.size()), std::chrono::seconds(5));
    EXPECT_EQ(received, block);
}

TEST(SystemSerialControl, DiscardingOutputEmptiesTheQueue)
{
    PtyPort port;
    port.control.setOutput(QString::fromLatin1(pattern(200000)));
    ASSERT_GT(port.control.OutBufferCount(), 0);
    port.control.setOutBufferCount(0);
    EXPECT_EQ(port.control.OutBufferCount(), 0);
    port.control.setOutput(QStringLiteral("$"));
    const QByteArray received = port.pty.read(200001, std::chrono::milliseconds(300));
    EXPECT_LT(received.size(), 200000);
    EXPECT_TRUE(received.endsWith('$'));
}

TEST(SystemSerialControl, ClosedPortRefusesTransfersButAcceptsDiscards)
{
    PtyPort port(false);
    const std::vector<std::pair<const char*, std::function<void()>>> operations {
        {"Input", [&] { port.control.Input(); }},
        {"InBufferCount", [&] { port.control.InBufferCount(); }},
        {"OutBufferCount", [&] { port.control.OutBufferCount(); }},
        {"Output", [&] { port.control.setOutput(QStringLiteral("x")); }},
    };
    for (int round = 0; round < 2; ++round) {
        for (const auto& [name, operation] : operations) {
            const Failure failure = failureOf(operation);
            EXPECT_TRUE(failure.description().contains(QStringLiteral("not open"))) << name << ": " << failure.what();
            EXPECT_NE(failure.number(), 0);
        }
        port.control.setInBufferCount(0);
        port.control.setOutBufferCount(0);
        port.control.setPortOpen(false);
        EXPECT_FALSE(port.control.PortOpen());
        // The second round runs after an open and a close.
        port.control.setPortOpen(true);
        port.control.setPortOpen(false);
    }
}

class SystemSerialControlPeerGone : public ::testing::TestWithParam<const char*> {};

TEST_P(SystemSerialControlPeerGone, NextOperationFails)
{
    PtyPort port;
    const QString op = QString::fromLatin1(GetParam());
    port.pty.closeMaster();
    std::function<void()> operation;
    if (op == QLatin1String("Input"))
        operation = [&] { port.control.Input(); };
    else if (op == QLatin1String("InBufferCount"))
        operation = [&] { port.control.InBufferCount(); };
    else if (op == QLatin1String("OutBufferCount"))
        operation = [&] { port.control.OutBufferCount(); };
    else
        operation = [&] { port.control.setOutput(QStringLiteral("x")); };
    for (int attempt = 0; attempt < 3; ++attempt) {
        const Failure failure = failureOf(operation);
        EXPECT_TRUE(failure.description().contains(port.pty.slavePath())) << failure.what();
        EXPECT_NE(failure.number(), 0);
    }
    port.control.setPortOpen(false);
    EXPECT_FALSE(port.control.PortOpen());
}

INSTANTIATE_TEST_SUITE_P(Operations, SystemSerialControlPeerGone,
                         ::testing::Values("Input", "InBufferCount", "OutBufferCount", "Output"));

TEST(SystemSerialControl, CloseDeliversEverythingQueued)
{
    PtyPort port;
    const QByteArray block = pattern(4096);
    port.control.setOutput(QString::fromLatin1(block));
    port.control.setPortOpen(false);
    EXPECT_EQ(port.pty.read(block.size() + 1, std::chrono::milliseconds(500)), block);
}

TEST(SystemSerialControl, CloseWaitsForASlowReader)
{
    PtyPort port;
    const QByteArray block = pattern(64 * 1024);
    QByteArray received;
    std::thread reader([&] {
        while (received.size() < block.size()) {
            const QByteArray part = port.pty.read(1024, std::chrono::seconds(5));
            if (part.isEmpty())
                break;
            received += part;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    port.control.setOutput(QString::fromLatin1(block));
    port.control.setPortOpen(false);
    reader.join();
    EXPECT_EQ(received.size(), block.size());
    EXPECT_EQ(received, block);
}

// Once a pseudo-terminal's queue is full it gives room back only in blocks, each
// after the far end has read hundreds of characters: at 25 characters a second,
// tens of seconds apart. A send and the close after it wait through them.
TEST(SlowReader, OnAPseudoTerminalGetsAFewKilobytesInOrder)
{
    PtyPort port;
    QByteArray expected;
    while (port.control.OutBufferCount() == 0 && expected.size() < (1 << 20)) {
        expected += static_cast<char>('a' + expected.size() % 26);
        port.control.setOutput(QString(QLatin1Char(expected.back())));
    }
    ASSERT_NE(port.control.OutBufferCount(), 0) << "the queue took a megabyte";
    const QByteArray text = pattern(2048);
    expected += text + '$';
    std::atomic<bool> closed {false};
    QByteArray received;
    std::thread reader([&] {
        // One character at a time: the system must not read ahead for the reader.
        for (auto due = std::chrono::steady_clock::now(); !closed;) {
            std::this_thread::sleep_until(due += std::chrono::milliseconds(40));
            char c = 0;
            if (::read(port.pty.masterFd(), &c, 1) == 1)
                received += c;
        }
        received += port.pty.read(static_cast<int>(expected.size() - received.size()));
    });
    BlockingWaiter waiter(port.control, -1);
    EXPECT_TRUE(SendPaced(port.control, QString::fromLatin1(text), {}, &waiter));
    port.control.setOutput(QStringLiteral("$"));
    EXPECT_NO_THROW(port.control.setPortOpen(false));
    closed = true;
    reader.join();
    EXPECT_TRUE(received == expected) << received.size() << " of " << expected.size() << " in order";
}

TEST(SystemSerialControl, OpeningWhileOpenReopens)
{
    PtyPort port;
    port.control.setOutput(QStringLiteral("a"));
    port.control.setPortOpen(true);
    EXPECT_TRUE(port.control.PortOpen());
    port.control.setOutput(QStringLiteral("b"));
    EXPECT_EQ(port.pty.read(2), QByteArray("ab"));
    port.pty.write("c");
    ASSERT_TRUE(waitFor([&] { return port.control.InBufferCount() == 1; }));
    EXPECT_EQ(port.control.Input(), QStringLiteral("c"));
}

TEST(SystemSerialControl, InputWaitingBeforeTheOpenGoesOnlyWhenAskedFor)
{
    PtyPort port(false);
    port.pty.write("stale");
    // As the start-up probe does.
    port.control.setPortOpen(true);
    port.control.setPortOpen(false);
    port.control.setPortOpen(true);
    ASSERT_TRUE(waitFor([&] { return port.control.InBufferCount() == 5; }));
    port.control.setPortOpen(false);

    port.pty.write("stale");
    // As OpenSerialPort does.
    port.control.setInBufferCount(0);
    port.control.setPortOpen(true);
    EXPECT_EQ(port.control.InBufferCount(), 0);
}

// A process of the test's own user that holds the device open until it is ended.
class HoldingProcess {
public:
    explicit HoldingProcess(const QString& path)
    {
        const QByteArray name = path.toLocal8Bit();
        int ready[2];
        int release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            const int fd = ::open(name.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
            const char answer = fd >= 0 ? 'y' : 'n';
            const bool told = ::write(ready[1], &answer, 1) == 1;
            char ignored = 0;
            const bool released = ::read(release[0], &ignored, 1) >= 0;
            ::_exit(told && released ? 0 : 1);
        }
        ::close(ready[1]);
        ::close(release[0]);
        m_release = release[1];
        char answer = 'n';
        m_holding = ::read(ready[0], &answer, 1) == 1 && answer == 'y';
        ::close(ready[0]);
    }
    ~HoldingProcess()
    {
        if (m_pid <= 0)
            return;
        ::close(m_release);
        ::waitpid(m_pid, nullptr, 0);
    }
    HoldingProcess(const HoldingProcess&) = delete;
    HoldingProcess& operator=(const HoldingProcess&) = delete;

    bool holding() const { return m_holding; }
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_release = -1;
    bool m_holding = false;
};

struct FoundCase {
    const char* name;
    // Uses the port, which starts closed; ends with it closed.
    std::function<void(PtyPort&)> use;
    bool inputKept;
};

class SystemSerialControlGivesBack : public ::testing::TestWithParam<FoundCase> {};

// Settings, exclusive use and lock are what the next user of the port finds, and
// a user who is not root is locked out by a left exclusive flag.
TEST_P(SystemSerialControlGivesBack, ThePortAsTheOpenFoundIt)
{
    PtyPort port(false);
    termios2 found = port.line();
    found.c_cflag = (found.c_cflag & ~(CBAUD | CSIZE)) | BOTHER | CS7 | PARENB | CREAD;
    found.c_ispeed = found.c_ospeed = 2400;
    found.c_iflag |= ICRNL | IXON;
    found.c_oflag |= OPOST | ONLCR;
    found.c_lflag |= ICANON | ISIG;
    ASSERT_EQ(::ioctl(port.pty.masterFd(), TCSETS2, &found), 0);
    found = port.line();
    port.pty.write("waiting\n");
    // The pseudo-terminal hands the line across on its own time; the use starts once it waits.
    const int watcher = ::open(port.pty.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(watcher, 0) << std::strerror(errno);
    int arrived = 0;
    const bool waits = waitFor([&] { return ::ioctl(watcher, FIONREAD, &arrived) == 0 && arrived == 8; });
    ::close(watcher);
    ASSERT_TRUE(waits) << arrived;

    GetParam().use(port);
    ASSERT_FALSE(port.control.PortOpen());

    const termios2 after = port.line();
    EXPECT_EQ(after.c_iflag, found.c_iflag);
    EXPECT_EQ(after.c_oflag, found.c_oflag);
    EXPECT_EQ(after.c_lflag, found.c_lflag);
    EXPECT_EQ(after.c_cflag, found.c_cflag);
    EXPECT_EQ(after.c_ospeed, found.c_ospeed);
    EXPECT_EQ(after.c_ispeed, found.c_ispeed);

    const int next = ::open(port.pty.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(next, 0) << std::strerror(errno);
    int exclusive = -1;
    EXPECT_EQ(::ioctl(next, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    EXPECT_EQ(::flock(next, LOCK_EX | LOCK_NB), 0);
    int waiting = -1;
    EXPECT_EQ(::ioctl(next, FIONREAD, &waiting), 0);
    EXPECT_EQ(waiting, GetParam().inputKept ? 8 : 0);
    ::close(next);
}

INSTANTIATE_TEST_SUITE_P(
    Uses, SystemSerialControlGivesBack,
    ::testing::Values(
        FoundCase {"Probe",
                   [](PtyPort& port) {
                       port.control.setPortOpen(true);
                       ASSERT_TRUE(port.control.PortOpen());
                       port.control.setPortOpen(false);
                   },
                   true},
        FoundCase {"Transfer",
                   [](PtyPort& port) {
                       OpenSerialPort(port.control, LineControls {QString::number(kPort), QStringLiteral("115200"),
                                                                  QStringLiteral("8"), QStringLiteral("1")});
                       port.control.setOutput(QStringLiteral("^"));
                       EXPECT_EQ(port.pty.read(1), QByteArray("^"));
                       CloseSerialPort(port.control);
                   },
                   false},
        FoundCase {"CloseThatGaveUp",
                   [](PtyPort& port) {
                       port.control.setOutputStall(std::chrono::milliseconds(100));
                       port.control.setPortOpen(true);
                       port.control.setOutput(QString::fromLatin1(pattern(200000)));
                       EXPECT_EQ(failureOf([&] { CloseSerialPort(port.control); }).description(),
                                 msg::kErrorClosingPort);
                   },
                   true},
        FoundCase {"OpenRefusedWhileAnotherProcessHoldsIt",
                   [](PtyPort& port) {
                       const HoldingProcess holder(port.pty.slavePath());
                       ASSERT_TRUE(holder.holding());
                       const Failure failure = failureOf([&] { port.control.setPortOpen(true); });
                       EXPECT_EQ(failure.number(), EBUSY);
                       EXPECT_TRUE(failure.description().contains(QStringLiteral("process %1").arg(holder.pid())))
                           << failure.what();
                       EXPECT_EQ(failureOf([&] {
                                     OpenSerialPort(port.control,
                                                    LineControls {QString::number(kPort), QStringLiteral("9600"),
                                                                  QStringLiteral("8"), QStringLiteral("1")});
                                 }).description(),
                                 msg::kErrorOpeningPort);
                   },
                   true}),
    [](const ::testing::TestParamInfo<FoundCase>& param) { return std::string(param.param.name); });

TEST(SystemSerialControl, SecondControlCannotOpenAPortInUse)
{
    PtyPort port;
    SystemSerialControl second(mapWith(kPort, port.pty.slavePath()));
    second.setCommPort(kPort);
    const Failure failure = failureOf([&] { second.setPortOpen(true); });
    EXPECT_EQ(failure.number(), EBUSY);
    EXPECT_TRUE(failure.description().contains(port.pty.slavePath())) << failure.what();
    EXPECT_FALSE(second.PortOpen());

    port.control.setOutput(QStringLiteral("ok"));
    EXPECT_EQ(port.pty.read(2), QByteArray("ok"));
    port.control.setPortOpen(false);
    second.setPortOpen(true);
    EXPECT_TRUE(second.PortOpen());
}

TEST(SystemSerialControl, PathsThatAreNoSerialDeviceAreRefused)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("plain.txt"));
    test::writeFile(file, "not a port");
    struct PathCase {
        QString path;
        const char* says;
    };
    for (const PathCase& c : {PathCase {file, "Not a serial device"}, PathCase {dir.path(), "directory"},
                              PathCase {dir.filePath(QStringLiteral("missing")), "No such file"}}) {
        SystemSerialControl control(mapWith(kPort, c.path));
        control.setCommPort(kPort);
        const Failure failure = failureOf([&] { control.setPortOpen(true); });
        EXPECT_TRUE(failure.description().contains(c.path)) << failure.what();
        EXPECT_TRUE(failure.description().contains(QString::fromLatin1(c.says))) << failure.what();
        EXPECT_FALSE(control.PortOpen());
    }
    EXPECT_EQ(test::readFile(file), QByteArray("not a port"));
}

TEST(SystemSerialControl, PortNumbersOutsideTheMapAreRefused)
{
    SystemSerialControl control {PortMap()};
    EXPECT_TRUE(failureOf([&] { control.setCommPort(0); }).description().contains(QStringLiteral("0")));
    EXPECT_TRUE(failureOf([&] { control.setCommPort(100); }).description().contains(QStringLiteral("100")));
    control.setCommPort(12);
    const Failure failure = failureOf([&] { control.setPortOpen(true); });
    EXPECT_TRUE(failure.description().contains(QStringLiteral("QUORVALINK_COM12"))) << failure.what();
}

TEST(PortProcedures, WorkOnAPortNamedByTheEnvironment)
{
    PtyPair pty;
    SystemSerialControl MSCommI([&] {
        const test::EnvironmentGuard port1("QUORVALINK_COM1", pty.slavePath().toLocal8Bit());
        return PortMap::fromSystem();
    }());

    OpenSerialPort(MSCommI, LineControls {QStringLiteral("1"), QStringLiteral("921600"), QStringLiteral("8"),
                                          QStringLiteral("1")});
    EXPECT_TRUE(MSCommI.PortOpen());
    EXPECT_EQ(MSCommI.Settings(), QStringLiteral("921600,N,8,1"));

    const QString record = QStringLiteral("R1\xe9@");
    EXPECT_TRUE(SendPaced(MSCommI, record));
    EXPECT_EQ(pty.read(4), record.toLatin1());

    pty.write("^");
    ASSERT_TRUE(waitFor([&] { return MSCommI.InBufferCount() == 1; }));
    EXPECT_EQ(MSCommI.Input(), QStringLiteral("^"));

    CloseSerialPort(MSCommI);
    EXPECT_FALSE(MSCommI.PortOpen());
    CloseSerialPort(MSCommI);
    EXPECT_FALSE(SendPaced(MSCommI, record));
}

TEST(PortProcedures, RefusedBaudIsABaudRateError)
{
    PtyPair pty;
    SystemSerialControl MSCommI(mapWith(1, pty.slavePath()));
    const Failure failure = failureOf([&] {
        OpenSerialPort(MSCommI, LineControls {QStringLiteral("1"), QStringLiteral("fast"), QStringLiteral("8"),
                                              QStringLiteral("1")});
    });
    EXPECT_EQ(failure.description(), msg::kErrorSettingBaud);
    EXPECT_FALSE(MSCommI.PortOpen());
}

TEST(PortProcedures, SendPacedAddsNothingToAQueueThatDoesNotEmpty)
{
    PtyPair pty;
    SystemSerialControl MSCommI(mapWith(1, pty.slavePath()));
    MSCommI.setCommPort(1);
    MSCommI.setPortOpen(true);
    const QByteArray block = pattern(200000);
    MSCommI.setOutput(QString::fromLatin1(block));
    EXPECT_FALSE(SendPaced(MSCommI, QStringLiteral("abc"), std::chrono::milliseconds(50)));

    QByteArray received;
    ASSERT_TRUE(waitFor([&] {
        received += pty.readAvailable();
        return MSCommI.OutBufferCount() == 0;
    }));
    received += pty.read(block.size() + 3 - static_cast<int>(received.size()), std::chrono::milliseconds(300));
    EXPECT_EQ(received, block);
}

} // namespace
} // namespace ql
