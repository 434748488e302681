#include "support/DeviceThread.h"
#include "PcSide.h"

#include "hhcsim/CommandLine.h"
#include "support/Files.h"
#include "support/WaitFor.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ql::test {
namespace {

using hhcsim::Mode;
using hhcsim::parseCommandLine;
using namespace std::chrono_literals;

QStringList words(const char* line)
{
    return QString::fromLatin1(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

TEST(CommandLine, DefaultsToAutoModeOnTheUsualLink)
{
    hhcsim::CommandLine line;
    ASSERT_TRUE(parseCommandLine({}, line).isEmpty());
    EXPECT_EQ(line.device.mode, Mode::Auto);
    EXPECT_EQ(line.device.linkPath, QStringLiteral("/tmp/quorvalink-hhc"));
    EXPECT_EQ(line.device.quiet, 1000ms);
    EXPECT_FALSE(line.device.once);
}

TEST(CommandLine, TakesEveryOption)
{
    hhcsim::CommandLine o;
    const QString error = parseCommandLine(
        words("--link /tmp/x --mode=send --send-file s.txt --quiet-ms 250 --no-answer --noise 7 "
              "--stop-after 0 --hangup-after 3 --slow-read-us 1500 --baud 9600 --once"),
        o);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(o.device.linkPath, QStringLiteral("/tmp/x"));
    EXPECT_EQ(o.device.mode, Mode::Send);
    EXPECT_EQ(o.sendFile, QStringLiteral("s.txt"));
    EXPECT_EQ(o.device.quiet, 250ms);
    EXPECT_TRUE(o.device.faults.noAnswer);
    EXPECT_EQ(o.device.faults.noiseBytes, 7);
    EXPECT_EQ(o.device.faults.stopAfter, 0);
    EXPECT_EQ(o.device.faults.hangupAfter, 3);
    EXPECT_EQ(o.device.faults.slowReadPerByte, 1500us);
    EXPECT_EQ(o.device.faults.baud, 9600);
    EXPECT_TRUE(o.device.once);
}

class CommandLineRefuses : public ::testing::TestWithParam<const char*> {};

TEST_P(CommandLineRefuses, WithAMessage)
{
    hhcsim::CommandLine line;
    EXPECT_FALSE(parseCommandLine(words(GetParam()), line).isEmpty()) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(BadLines, CommandLineRefuses,
                         ::testing::Values("--bogus", "stray", "--mode", "--mode sideways", "--mode Send",
                                           "--mode send", "--mode receive --send-file a.txt",
                                           "--mode send --send-file a.txt --receive-file b.txt",
                                           "--baud 0", "--baud 9600x", "--baud -1", "--noise 0x10",
                                           "--quiet-ms 0", "--stop-after", "--hangup-after +1",
                                           "--slow-read-us 99999999999999999999", "--link=",
                                           "--once=yes", "--link a --link b", "--link a --line b"));

QString simulatorPath()
{
    return QStringLiteral(QL_HHCSIM_EXE);
}

TEST(SimulatorProgram, ExitsWithTwoOnABadCommandLine)
{
    QProcess sim;
    sim.start(simulatorPath(), {QStringLiteral("--mode"), QStringLiteral("sideways")});
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 2);
    EXPECT_TRUE(sim.readAllStandardError().contains("sideways"));
}

TEST(SimulatorProgram, RefusesAnEmptySendFile)
{
    QTemporaryDir dir;
    const QString empty = dir.filePath(QStringLiteral("empty.txt"));
    writeFile(empty, {});
    QProcess sim;
    sim.start(simulatorPath(), {QStringLiteral("--link"), dir.filePath(QStringLiteral("hhc")),
                                QStringLiteral("--mode"), QStringLiteral("send"), QStringLiteral("--send-file"), empty});
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_EQ(sim.exitCode(), 1);
    EXPECT_FALSE(QFileInfo(dir.filePath(QStringLiteral("hhc"))).isSymLink());
}

TEST(SimulatorProgram, ReceivesIntoAFileOnceAndRemovesItsLink)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("hhc"));
    const QString out = dir.filePath(QStringLiteral("got.txt"));
    QProcess sim;
    sim.start(simulatorPath(), {QStringLiteral("--link"), link, QStringLiteral("--mode"), QStringLiteral("receive"),
                                QStringLiteral("--receive-file"), out, QStringLiteral("--once")});
    ASSERT_TRUE(waitFor([&] { return QFileInfo(link).isSymLink(); }));
    {
        PcSide pc(link);
        ASSERT_TRUE(pc.write("^"));
        ASSERT_EQ(pc.read(1), QByteArray("^"));
        ASSERT_TRUE(pc.write("R1@\xe9@$"));
    }
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_TRUE(sim.readAllStandardError().contains("hhcsim: received 3 records"));
    EXPECT_EQ(readFile(out), QByteArray("R1\r\n\xe9\r\n\r\n"));
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST(SimulatorProgram, EndsCleanlyOnSigtermAndRemovesItsLink)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("hhc"));
    QProcess sim;
    sim.start(simulatorPath(), {QStringLiteral("--link"), link});
    ASSERT_TRUE(waitFor([&] { return QFileInfo(link).isSymLink(); }));
    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

} // namespace
} // namespace ql::test
