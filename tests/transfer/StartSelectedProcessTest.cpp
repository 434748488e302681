#include "TransferTestSupport.h"

#include "support/DataFolderSandbox.h"
#include "support/Files.h"
#include "transfer/Transfers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace ql::test {
namespace {

class StartCommandTest : public TransferTest {
protected:
    StartCommandTest() : TransferTest(Direction::PcToHhc) {}

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        request.file = dir.filePath(QStringLiteral("received.txt"));
    }

    TransferResult start() { return StartSelectedProcess(context, request); }

    // As HHC->PC: the device asks to begin in the first pass and sends `reply` once answered.
    void deviceSends(const QString& reply)
    {
        request.direction = Direction::HhcToPc;
        waiter.onYield = [this](long long pass) {
            if (pass == 1)
                port.feed(QStringLiteral("^"));
        };
        port.onOutput = [reply](FakeSerialControl& control, const QString&) { control.feed(reply); };
    }

    // Whatever the path, the log starts with the wait and ends on the run's last word.
    void expectEndedOn(const QString& last)
    {
        ASSERT_FALSE(host.events.isEmpty());
        EXPECT_EQ(host.events.first(), msg::kPleaseWait);
        EXPECT_EQ(host.events.last(), last);
    }

    QTemporaryDir dir;
};

struct PortCase {
    const char* text;
    bool accepted;
};

void PrintTo(const PortCase& c, std::ostream* os)
{
    *os << "port text \"" << c.text << '"';
}

class StartPortCheckTest : public StartCommandTest, public ::testing::WithParamInterface<PortCase> {};

TEST_P(StartPortCheckTest, AdmitsPortsAbove0AndBelow100)
{
    request.line.port = QString::fromLatin1(GetParam().text);
    request.direction.reset();
    const TransferResult result = start();
    EXPECT_EQ(result.outcome, Outcome::Refused);
    if (GetParam().accepted) {
        EXPECT_EQ(result.reason, Reason::ProcessSelection);
        EXPECT_EQ(host.events, (QStringList {msg::kPleaseWait, msg::kProcessSelectionError}));
    } else {
        EXPECT_EQ(result.reason, Reason::PortSelection);
        EXPECT_EQ(host.events, (QStringList {msg::kPleaseWait, msg::kPortSelectionError}));
    }
    EXPECT_EQ(host.starts, 0);
    expectEndedOn(host.events.last());
    EXPECT_EQ(port.opens, 0);
}

INSTANTIATE_TEST_SUITE_P(PortTexts, StartPortCheckTest,
                         ::testing::Values(PortCase {"0", false}, PortCase {"100", false}, PortCase {"", false},
                                           PortCase {"abc", false}, PortCase {"-1", false}, PortCase {"1", true},
                                           PortCase {"17", true}, PortCase {"99", true}, PortCase {"16.5", true},
                                           PortCase {"3 (busy)", true}));

class StartFileCheckTest : public StartCommandTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(StartFileCheckTest, RefusesBlankPath)
{
    request.file = QString::fromLatin1(GetParam());
    request.direction = Direction::HhcToPc;
    const TransferResult result = start();
    EXPECT_EQ(result.reason, Reason::FileName);
    EXPECT_EQ(result.direction, Direction::HhcToPc);
    EXPECT_EQ(host.events, (QStringList {msg::kPleaseWait, msg::kSpecifiedFileError}));
    EXPECT_EQ(host.starts, 0);
    expectEndedOn(msg::kSpecifiedFileError);
}

INSTANTIATE_TEST_SUITE_P(Paths, StartFileCheckTest, ::testing::Values("", "   ", "\t "));

TEST_F(StartCommandTest, MissingFilePassesFileCheck)
{
    request.file = dir.filePath(QStringLiteral("absent/none.txt"));
    host.lstRecords.assign({"R"});
    port.failOn(FakeSerialControl::Op::SetPortOpen);
    start();
    EXPECT_EQ(host.events, (QStringList {msg::kPleaseWait, msg::kTransferFailed, msg::kErrorOpeningPort,
                                         FakeSerialControl::kFailedText}));
}

TEST_F(StartCommandTest, SendRunEndsWithSuccess)
{
    host.lstRecords.assign({"R1", "R2"});
    port.onOutput = [](FakeSerialControl& control, const QString&) {
        if (control.written == QLatin1String("^"))
            control.feed(QStringLiteral("^"));
    };
    EXPECT_TRUE(start().succeeded());
    EXPECT_EQ(port.written, QStringLiteral("^R1@R2$"));
    EXPECT_EQ(host.starts, 1);
    expectEndedOn(msg::kTransferSucceeded);
}

TEST_F(StartCommandTest, SendRunWithoutAnswerFailsAfterTenDots)
{
    host.lstRecords.assign({"R"});
    EXPECT_EQ(start().reason, Reason::NoResponse);
    EXPECT_EQ(host.statuses, dots(10));
    expectEndedOn(msg::kDeviceNotResponding);
}

TEST_F(StartCommandTest, ReceiveRunSavesRecords)
{
    writeFile(request.file, "old\r\n");
    deviceSends(QStringLiteral("A@B$"));
    const TransferResult result = start();
    EXPECT_TRUE(result.succeeded());
    EXPECT_EQ(result.receiving.fileWritten, request.file);
    EXPECT_EQ(result.records, 2);
    EXPECT_EQ(readFile(request.file), QByteArray("A\r\nB\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {"received.txt"});
    expectEndedOn(msg::writtenRecords(2));
}

TEST_F(StartCommandTest, ReceiveRunWithoutBeginRequestLeavesFileAlone)
{
    writeFile(request.file, "keep\r\n");
    request.direction = Direction::HhcToPc;
    host.lstRecords.assign({"stale"});
    port.failOn(FakeSerialControl::Op::SetPortOpen);
    EXPECT_EQ(start().reason, Reason::OpeningPort);
    EXPECT_EQ(readFile(request.file), QByteArray("keep\r\n"));
    EXPECT_EQ(host.events, (QStringList {msg::kPleaseWait, msg::kErrorOpeningPort, FakeSerialControl::kFailedText}));
    expectEndedOn(FakeSerialControl::kFailedText);
}

TEST_F(StartCommandTest, ReceiveRunAbortedMidRecordsSavesWhatCame)
{
    writeFile(request.file, "old\r\n");
    deviceSends(QStringLiteral("R1@R2@R3"));
    waiter.onYield = [this, first = waiter.onYield](long long pass) {
        first(pass);
        if (pass == 500) {
            context.abort();
            port.setPortOpen(false);
        }
    };
    const TransferResult result = start();
    EXPECT_EQ(readFile(request.file), QByteArray("R1\r\nR2\r\n"));
    const QString backup = request.file + QStringLiteral(".bak");
    EXPECT_EQ(result.outcome, Outcome::Aborted);
    EXPECT_EQ(result.receiving.backupKept, backup);
    EXPECT_EQ(readFile(backup), QByteArray("old\r\n"));
    EXPECT_EQ(host.events.mid(host.events.size() - 4),
              (QStringList {msg::kSavingFile, msg::previousFileKept(backup), msg::writtenRecords(2),
                            msg::receptionAborted(2, request.file)}));
    EXPECT_EQ(port.closes, 1);
    expectEndedOn(msg::receptionAborted(2, request.file));
}

TEST_F(StartCommandTest, ReceiveRunOverflowSaves32767Records)
{
    deviceSends(QString(32767, QLatin1Char('@')) + QStringLiteral("$"));
    start();
    EXPECT_TRUE(host.events.contains(overflowText()));
    EXPECT_EQ(readFile(request.file), QByteArray("\r\n").repeated(32767));
    expectEndedOn(msg::writtenRecords(32767));
}

struct RefusedTarget {
    const char* path;
    const char* why; // the end of the line that says what is wrong
};

class StartReceiveFileTest : public StartCommandTest, public ::testing::WithParamInterface<RefusedTarget> {};

TEST_P(StartReceiveFileTest, RefusesAFileThatCannotTakeRecordsBeforeOpeningThePort)
{
    const QString target = QString::fromLatin1(GetParam().path);
    ::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo"))).constData(), 0600);
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
    // Another user's link in a sticky folder that anyone may write to, aimed at a file of ours.
    QDir(dir.path()).mkdir(QStringLiteral("shared"));
    const QByteArray link = QFile::encodeName(dir.filePath(QStringLiteral("shared/data.txt")));
    if (::chmod(QFile::encodeName(dir.filePath(QStringLiteral("shared"))).constData(), 01777) != 0
        || (target == QLatin1String("shared/data.txt")
            && (::symlink("../victim", link.constData()) != 0 || ::lchown(link.constData(), 65534, 65534) != 0)))
        GTEST_SKIP() << "only root can give a link to another user";
    request.file = target.startsWith(QLatin1Char('/')) ? target : dir.filePath(target);
    deviceSends(QStringLiteral("A$"));
    EXPECT_EQ(start().reason, Reason::FileUnusable);
    ASSERT_EQ(host.events.size(), 3);
    EXPECT_EQ(host.events.mid(0, 2), (QStringList {msg::kPleaseWait, msg::kFileError}));
    EXPECT_TRUE(host.events.last().startsWith(msg::dataFileRefused(request.file, QString())));
    EXPECT_TRUE(host.events.last().endsWith(QString::fromUtf8(GetParam().why))) << host.events.last().toStdString();
    EXPECT_EQ(port.opens, 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList {"fifo", "folder", "shared"}));
    expectEndedOn(host.events.last());
}

INSTANTIATE_TEST_SUITE_P(Targets, StartReceiveFileTest,
                         ::testing::Values(RefusedTarget {"folder", "Is a directory"},
                                           RefusedTarget {"missing/received.txt", "missing: No such file or directory"},
                                           RefusedTarget {"fifo", "not a regular file"},
                                           RefusedTarget {"/dev/null", "not a regular file"},
                                           RefusedTarget {"shared/data.txt", "belongs to another user, so it is not followed"}));

TEST_F(StartCommandTest, ReceivedRecordsGoToARecoveryFileWhenTheDataFileCannotTakeThem)
{
    const DataFolderSandbox dataFolder;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("gone")));
    request.file = dir.filePath(QStringLiteral("gone/received.txt"));
    deviceSends(QStringLiteral("A@B$"));
    // The folder disappears while the device sends.
    waiter.onYield = [this, first = waiter.onYield](long long pass) {
        first(pass);
        if (pass == 2)
            QDir(dir.filePath(QStringLiteral("gone"))).removeRecursively();
    };
    const TransferResult result = start();
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_EQ(result.reason, Reason::FileNotWritten);
    EXPECT_EQ(host.lstRecords.records(), (QStringList {"A", "B"}));
    const QStringList files = DataFolderSandbox::files();
    ASSERT_EQ(files.size(), 1);
    const QString recovery = DataFolderSandbox::folder() + QLatin1Char('/') + files.first();
    EXPECT_EQ(readFile(recovery), QByteArray("A\r\nB\r\n"));
    EXPECT_EQ(host.events.mid(host.events.size() - 4),
              (QStringList {msg::kSavingFile, msg::kFileError,
                            msg::dataFileRefused(request.file, dir.filePath(QStringLiteral("gone: No such file or directory"))),
                            msg::recordsRecovered(recovery)}));
    expectEndedOn(msg::recordsRecovered(recovery));
    EXPECT_EQ(result.receiving.recoveryFile, recovery);
}

} // namespace
} // namespace ql::test
