#include "TransferTestSupport.h"

#include "support/DataFolderSandbox.h"
#include "transfer/Transfers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace ql::test {
namespace {

class StartCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        host.file = dir.filePath(QStringLiteral("received.txt"));
    }

    void start() { StartSelectedProcess(host, port, state); }

    // As HHC->PC: the device asks to begin in the first pass and sends `reply` once answered.
    void deviceSends(const QString& reply)
    {
        host.process = QStringLiteral("HHC->PC");
        host.onYield = [this](long long pass) {
            if (pass == 1)
                port.send(QStringLiteral("^"));
        };
        port.onOutput = [reply](ScriptedSerialControl& control, const QString&) { control.send(reply); };
    }

    void writeFile(const QByteArray& bytes)
    {
        QFile file(host.file);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray fileBytes() const
    {
        QFile file(host.file);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Whatever the path, the log starts afresh and the status line ends on its last message.
    void expectEndedOn(const QString& last)
    {
        EXPECT_EQ(host.views, QStringList {"E"});
        EXPECT_EQ(host.eventClears, 1);
        ASSERT_FALSE(host.events.isEmpty());
        EXPECT_EQ(host.events.first(), msg::kPleaseWait);
        EXPECT_EQ(host.events.last(), last);
        ASSERT_FALSE(host.statuses.isEmpty());
        EXPECT_EQ(host.statuses.last(), last);
        ASSERT_FALSE(host.enableCalls.empty());
        EXPECT_TRUE(host.enableCalls.back());
    }

    QTemporaryDir dir;
    FakeTransferHost host;
    ScriptedSerialControl port;
    TransferState state = protocolState();
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
    host.controls.port = QString::fromLatin1(GetParam().text);
    host.process = QStringLiteral("none");
    start();
    if (GetParam().accepted) {
        EXPECT_EQ(host.events, (QStringList {msg::kPleaseWait, msg::kProcessSelectionError}));
        EXPECT_EQ(host.enableCalls, (std::vector<bool> {false, true}));
    } else {
        EXPECT_EQ(host.events, (QStringList {msg::kPleaseWait, msg::kPortSelectionError}));
        EXPECT_EQ(host.enableCalls, std::vector<bool> {true});
    }
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
    host.file = QString::fromLatin1(GetParam());
    start();
    EXPECT_EQ(host.events, (QStringList {msg::kPleaseWait, msg::kSpecifiedFileError}));
    EXPECT_EQ(host.enableCalls, std::vector<bool> {true});
    expectEndedOn(msg::kSpecifiedFileError);
}

INSTANTIATE_TEST_SUITE_P(Paths, StartFileCheckTest, ::testing::Values("", "   ", "\t "));

TEST_F(StartCommandTest, ProcessTextIsCaseSensitive)
{
    host.process = QStringLiteral("pc->hhc");
    start();
    EXPECT_EQ(host.events, (QStringList {msg::kPleaseWait, msg::kProcessSelectionError}));
    EXPECT_EQ(host.enableCalls, (std::vector<bool> {false, true}));
    EXPECT_EQ(port.opens, 0);
    expectEndedOn(msg::kProcessSelectionError);
}

TEST_F(StartCommandTest, MissingFilePassesFileCheck)
{
    host.file = dir.filePath(QStringLiteral("absent/none.txt"));
    host.process = QStringLiteral("PC->HHC");
    host.lstRecords.assign({"R"});
    port.refuseOpen = true;
    start();
    EXPECT_EQ(host.events, (QStringList {msg::kPleaseWait, msg::kTransferFailed, msg::kErrorOpeningPort}));
}

TEST_F(StartCommandTest, ClearsEarlierEventsFirst)
{
    host.events = {"from an earlier run"};
    host.process = QStringLiteral("none");
    start();
    expectEndedOn(msg::kProcessSelectionError);
    EXPECT_EQ(host.events.size(), 2);
}

TEST_F(StartCommandTest, SendRunEndsWithSuccessOnStatusLine)
{
    host.lstRecords.assign({"R1", "R2"});
    port.onOutput = [](ScriptedSerialControl& control, const QString&) {
        if (control.wire == QLatin1String("^"))
            control.send(QStringLiteral("^"));
    };
    start();
    EXPECT_EQ(port.wire, QStringLiteral("^R1@R2$"));
    EXPECT_EQ(host.enableCalls, (std::vector<bool> {false, true}));
    expectEndedOn(msg::kTransferSucceeded);
}

TEST_F(StartCommandTest, SendRunWithoutAnswerEndsOnFailureNotDots)
{
    host.lstRecords.assign({"R"});
    start();
    EXPECT_EQ(host.statuses.at(host.statuses.size() - 2), dots(10).last());
    expectEndedOn(msg::kDeviceNotResponding);
}

TEST_F(StartCommandTest, ReceiveRunSavesRecords)
{
    writeFile("old\r\n");
    deviceSends(QStringLiteral("A@B$"));
    start();
    EXPECT_EQ(fileBytes(), QByteArray("A\r\nB\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {"received.txt"});
    expectEndedOn(msg::writtenRecords(2));
}

TEST_F(StartCommandTest, ReceiveRunWithoutBeginRequestLeavesFileAlone)
{
    writeFile("keep\r\n");
    host.process = QStringLiteral("HHC->PC");
    host.lstRecords.assign({"stale"});
    port.refuseOpen = true;
    start();
    EXPECT_EQ(fileBytes(), QByteArray("keep\r\n"));
    EXPECT_EQ(host.events, (QStringList {msg::kPleaseWait, msg::kErrorOpeningPort}));
    expectEndedOn(msg::kErrorOpeningPort);
}

TEST_F(StartCommandTest, ReceiveRunAbortedMidRecordsSavesWhatCame)
{
    writeFile("old\r\n");
    deviceSends(QStringLiteral("R1@R2@R3"));
    host.onYield = [this, first = host.onYield](long long pass) {
        first(pass);
        if (pass == 500)
            port.setPortOpen(false);
    };
    start();
    EXPECT_EQ(fileBytes(), QByteArray("R1\r\nR2\r\n"));
    const QString backup = host.file + QStringLiteral(".bak");
    QFile kept(backup);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("old\r\n"));
    EXPECT_EQ(host.events.mid(host.events.size() - 3),
              (QStringList {msg::kSavingFile, msg::previousFileKept(backup), msg::writtenRecords(2)}));
    EXPECT_EQ(port.closes, 1);
    expectEndedOn(msg::writtenRecords(2));
}

TEST_F(StartCommandTest, ReceiveRunOverflowSaves32767Records)
{
    deviceSends(QString(32767, QLatin1Char('@')) + QStringLiteral("$"));
    start();
    EXPECT_TRUE(host.events.contains(overflowText()));
    EXPECT_EQ(fileBytes(), QByteArray("\r\n").repeated(32767));
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
    host.file = target.startsWith(QLatin1Char('/')) ? target : dir.filePath(target);
    deviceSends(QStringLiteral("A$"));
    start();
    ASSERT_EQ(host.events.size(), 3);
    EXPECT_EQ(host.events.mid(0, 2), (QStringList {msg::kPleaseWait, msg::kFileError}));
    EXPECT_TRUE(host.events.last().startsWith(msg::dataFileRefused(host.file, QString())));
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
    host.file = dir.filePath(QStringLiteral("gone/received.txt"));
    deviceSends(QStringLiteral("A@B$"));
    // The folder disappears while the device sends.
    host.onYield = [this, first = host.onYield](long long pass) {
        first(pass);
        if (pass == 2)
            QDir(dir.filePath(QStringLiteral("gone"))).removeRecursively();
    };
    start();
    EXPECT_EQ(host.lstRecords.records(), (QStringList {"A", "B"}));
    const QStringList files = DataFolderSandbox::files();
    ASSERT_EQ(files.size(), 1);
    QFile recovery(DataFolderSandbox::folder() + QLatin1Char('/') + files.first());
    ASSERT_TRUE(recovery.open(QIODevice::ReadOnly));
    EXPECT_EQ(recovery.readAll(), QByteArray("A\r\nB\r\n"));
    EXPECT_EQ(host.events.mid(host.events.size() - 3),
              (QStringList {msg::kSavingFile, msg::kFileError, msg::recordsRecovered(recovery.fileName())}));
    expectEndedOn(msg::recordsRecovered(recovery.fileName()));
}

TEST_F(StartCommandTest, FailureEscapingAStepStillRestoresWindow)
{
    host.failProcessRead = true;
    EXPECT_THROW(start(), Failure);
    EXPECT_EQ(host.enableCalls, (std::vector<bool> {false, true}));
    EXPECT_EQ(host.statuses.last(), msg::kPleaseWait);
}

} // namespace
} // namespace ql::test
