#include "records/RecordFiles.h"

#include "eventlog/Messages.h"
#include "records/RecordFormat.h"
#include "records/RecordList.h"
#include "records/RecordingPoster.h"
#include "support/DataFolderSandbox.h"
#include "support/Files.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ql {
namespace {

using test::readFile;
using test::writeFile;

QByteArray numberedLines(int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += QByteArray::number(i) + "\r\n";
    return bytes;
}

// Every byte value but CR and LF, each record starting at another value.
QStringList recordsOfEveryByte()
{
    QStringList records;
    for (int first = 0; first < 256; first += 37) {
        QByteArray bytes;
        for (int i = 0; i < 256; ++i) {
            const auto value = static_cast<char>((first + i) % 256);
            if (value != '\r' && value != '\n')
                bytes.append(value);
        }
        records.append(QString::fromLatin1(bytes));
    }
    return records;
}

struct stat statOf(const QString& path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

class RecordFilesTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }

    void load(const QString& file) { LoadRecordsFile(m_poster, m_list, file); }
    bool save(const QString& file, SaveKind kind = SaveKind::Replace)
    {
        return SaveRecordsFile(m_poster, m_list, file, kind).written;
    }
    QStringList dirEntries() const
    {
        return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                            QDir::Name);
    }

    test::DataFolderSandbox m_dataFolder;
    QTemporaryDir m_dir;
    test::RecordingPoster m_poster;
    RecordList m_list;
};

TEST_F(RecordFilesTest, LoadFillsTheListAndReportsTheCount)
{
    writeFile(path("data.txt"), "A\r\n\r\n B \r\n");
    load(path("data.txt"));
    EXPECT_EQ(m_list.records(), (QStringList {"A", "", " B "}));
    EXPECT_EQ(m_poster.messages(), (QStringList {msg::kOpeningFile, msg::foundRecords(3)}));
}

TEST_F(RecordFilesTest, EmptyFileLoadsNoRecords)
{
    m_list.assign({"old"});
    writeFile(path("empty.txt"), "");
    load(path("empty.txt"));
    EXPECT_EQ(m_list.count(), 0);
    EXPECT_EQ(m_poster.messages(), (QStringList {msg::kOpeningFile, msg::foundRecords(0)}));
}

TEST_F(RecordFilesTest, EmptyPathLoadsNoRecordsWithoutAnError)
{
    m_list.assign({"old"});
    load(QString());
    EXPECT_EQ(m_list.count(), 0);
    EXPECT_EQ(m_poster.messages(), (QStringList {msg::kOpeningFile, msg::foundRecords(0)}));
}

struct UnreadableCase {
    const char* name;
    QString (*path)(const QTemporaryDir& dir);
};

void PrintTo(const UnreadableCase& c, std::ostream* os) { *os << c.name; }

class UnreadableFileTest : public RecordFilesTest, public ::testing::WithParamInterface<UnreadableCase> {};

TEST_P(UnreadableFileTest, ReportsAnErrorAndLeavesTheListEmpty)
{
    m_list.assign({"old"});
    load(GetParam().path(m_dir));
    EXPECT_EQ(m_list.count(), 0);
    EXPECT_EQ(m_poster.messages(), (QStringList {msg::kOpeningFile, msg::kFileError}));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, UnreadableFileTest,
    ::testing::Values(
        UnreadableCase {"MissingFile", [](const QTemporaryDir& dir) { return dir.filePath("missing.txt"); }},
        UnreadableCase {"MissingFolder", [](const QTemporaryDir& dir) { return dir.filePath("no/data.txt"); }},
        UnreadableCase {"Folder", [](const QTemporaryDir& dir) { return dir.path(); }},
        UnreadableCase {"NameCutAtNul",
                        [](const QTemporaryDir& dir) {
                            QFile(dir.filePath("cut")).open(QIODevice::WriteOnly);
                            return dir.filePath(QString::fromLatin1("cut\0name.txt", 12));
                        }},
        // Opens, but the first read fails: nothing at address 0 of the process.
        UnreadableCase {"ReadFails", [](const QTemporaryDir&) { return QStringLiteral("/proc/self/mem"); }},
        // Neither may block the window or fill the memory.
        UnreadableCase {"Fifo",
                        [](const QTemporaryDir& dir) {
                            ::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600);
                            return dir.filePath("fifo");
                        }},
        UnreadableCase {"EndlessDevice", [](const QTemporaryDir&) { return QStringLiteral("/dev/zero"); }},
        UnreadableCase {"LinkToDevice",
                        [](const QTemporaryDir& dir) {
                            QFile::link(QStringLiteral("/dev/zero"), dir.filePath("zero.txt"));
                            return dir.filePath("zero.txt");
                        }},
        UnreadableCase {"HugeFileWithoutLineEnds",
                        [](const QTemporaryDir& dir) {
                            QFile file(dir.filePath("huge.txt"));
                            if (file.open(QIODevice::WriteOnly))
                                file.resize(4LL << 30);
                            return file.fileName();
                        }},
        UnreadableCase {"RecordOver32767Characters",
                        [](const QTemporaryDir& dir) {
                            writeFile(dir.filePath("long.txt"), "A\r\n" + QByteArray(32768, 'x') + "\r\n");
                            return dir.filePath("long.txt");
                        }},
        UnreadableCase {"Over32767Records",
                        [](const QTemporaryDir& dir) {
                            writeFile(dir.filePath("over.txt"), numberedLines(kMaxRecords) + "\r\n");
                            return dir.filePath("over.txt");
                        }}),
    [](const ::testing::TestParamInfo<UnreadableCase>& param) { return std::string(param.param.name); });

TEST_F(RecordFilesTest, FileOfTheMostRecordsLoadsWhole)
{
    writeFile(path("full.txt"), numberedLines(kMaxRecords));
    load(path("full.txt"));
    ASSERT_EQ(m_list.count(), kMaxRecords);
    EXPECT_EQ(m_list.at(0), "0");
    EXPECT_EQ(m_list.at(kMaxRecords - 1), QString::number(kMaxRecords - 1));
    EXPECT_EQ(m_poster.messages(), (QStringList {msg::kOpeningFile, msg::foundRecords(32767)}));
}

TEST_F(RecordFilesTest, SaveWritesCrLfAfterEveryRecord)
{
    m_list.assign({"A", "", "B"});
    EXPECT_TRUE(save(path("out.txt")));
    EXPECT_EQ(readFile(path("out.txt")), "A\r\n\r\nB\r\n");
    EXPECT_EQ(m_poster.messages(), (QStringList {msg::kSavingFile, msg::writtenRecords(3)}));
    EXPECT_EQ(m_list.records(), (QStringList {"A", "", "B"}));
}

TEST_F(RecordFilesTest, SaveOfNoRecordsLeavesAnEmptyFile)
{
    writeFile(path("out.txt"), "old content\r\n");
    EXPECT_TRUE(save(path("out.txt")));
    EXPECT_TRUE(QFile::exists(path("out.txt")));
    EXPECT_EQ(QFile(path("out.txt")).size(), 0);
    EXPECT_EQ(m_poster.messages(), (QStringList {msg::kSavingFile, msg::writtenRecords(0)}));
}

struct SaveTargetCase {
    const char* name;
    QString (*path)(const QTemporaryDir& dir); // prepares the target
    bool saved;
    // What must hold of the target afterwards.
    std::function<void(const QString& path)> check;
};

void PrintTo(const SaveTargetCase& c, std::ostream* os) { *os << c.name; }

class SaveTargetTest : public RecordFilesTest, public ::testing::WithParamInterface<SaveTargetCase> {};

TEST_P(SaveTargetTest, KeepsTheTargetsIdentityOrTheRecordsInARecoveryFile)
{
    const SaveTargetCase& c = GetParam();
    const QString target = c.path(m_dir);
    const QStringList before = dirEntries();
    m_list.assign({"A", "B"});

    EXPECT_EQ(save(target), c.saved);

    EXPECT_EQ(m_list.records(), (QStringList {"A", "B"}));
    if (c.saved) {
        EXPECT_EQ(m_poster.messages(), (QStringList {msg::kSavingFile, msg::writtenRecords(2)}));
    } else {
        const QStringList kept = test::DataFolderSandbox::files();
        ASSERT_EQ(kept.size(), 1);
        const QString recovery = test::DataFolderSandbox::folder() + QLatin1Char('/') + kept.first();
        QStringList messages = m_poster.messages();
        ASSERT_EQ(messages.size(), 4);
        EXPECT_TRUE(messages.takeAt(2).startsWith(msg::dataFileRefused(target, QString())));
        EXPECT_EQ(messages, (QStringList {msg::kSavingFile, msg::kFileError, msg::recordsRecovered(recovery)}));
        EXPECT_EQ(readFile(recovery), "A\r\nB\r\n");
    }
    EXPECT_EQ(dirEntries(), before) << "no temporary or backup file is left behind";
    if (c.check)
        c.check(target);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, SaveTargetTest,
    ::testing::Values(
        SaveTargetCase {"EmptyPath", [](const QTemporaryDir&) { return QString(); }, false, {}},
        SaveTargetCase {"MissingFolder", [](const QTemporaryDir& dir) { return dir.filePath("no/out.txt"); }, false,
                        {}},
        SaveTargetCase {"Folder", [](const QTemporaryDir& dir) { return dir.path(); }, false,
                        [](const QString& path) { EXPECT_TRUE(QFileInfo(path).isDir()); }},
        SaveTargetCase {"NameCutAtNul",
                        [](const QTemporaryDir& dir) { return dir.filePath(QString::fromLatin1("cut\0name.txt", 12)); },
                        false, {}},
        SaveTargetCase {"Fifo",
                        [](const QTemporaryDir& dir) {
                            ::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600);
                            return dir.filePath("fifo");
                        },
                        false, [](const QString& path) { EXPECT_TRUE(S_ISFIFO(statOf(path).st_mode)); }},
        SaveTargetCase {"DeviceNode", [](const QTemporaryDir&) { return QStringLiteral("/dev/null"); }, false,
                        [](const QString& path) { EXPECT_TRUE(S_ISCHR(statOf(path).st_mode)); }},
        SaveTargetCase {"BrokenLink",
                        [](const QTemporaryDir& dir) {
                            QFile::link(dir.filePath("nowhere.txt"), dir.filePath("link.txt"));
                            return dir.filePath("link.txt");
                        },
                        false, [](const QString& path) { EXPECT_TRUE(QFileInfo(path).isSymLink()); }},
        SaveTargetCase {"HardLinkedFileKeepsItsLinks",
                        [](const QTemporaryDir& dir) {
                            writeFile(dir.filePath("out.txt"), "old\r\n");
                            EXPECT_EQ(::link(QFile::encodeName(dir.filePath("out.txt")).constData(),
                                             QFile::encodeName(dir.filePath("other.txt")).constData()),
                                      0);
                            return dir.filePath("out.txt");
                        },
                        true,
                        [](const QString& path) {
                            EXPECT_EQ(statOf(path).st_nlink, 2U);
                            EXPECT_EQ(readFile(QFileInfo(path).absolutePath() + "/other.txt"), "A\r\nB\r\n");
                        }},
        SaveTargetCase {"SymbolicLinkStaysALink",
                        [](const QTemporaryDir& dir) {
                            writeFile(dir.filePath("real.txt"), "old\r\n");
                            QFile::link(dir.filePath("real.txt"), dir.filePath("link.txt"));
                            return dir.filePath("link.txt");
                        },
                        true,
                        [](const QString& path) {
                            EXPECT_TRUE(QFileInfo(path).isSymLink());
                            EXPECT_EQ(readFile(QFileInfo(path).absolutePath() + "/real.txt"), "A\r\nB\r\n");
                        }},
        SaveTargetCase {"FileKeepsItsMode",
                        [](const QTemporaryDir& dir) {
                            writeFile(dir.filePath("out.txt"), "old\r\n");
                            ::chmod(QFile::encodeName(dir.filePath("out.txt")).constData(), 0604);
                            return dir.filePath("out.txt");
                        },
                        true,
                        [](const QString& path) {
                            EXPECT_EQ(statOf(path).st_mode & 07777, 0604U);
                            EXPECT_EQ(readFile(path), "A\r\nB\r\n");
                        }}),
    [](const ::testing::TestParamInfo<SaveTargetCase>& param) { return std::string(param.param.name); });

// Runs `scenario` as a user who is refused what root is not, in a child process
// when this one is root; true when it returns true.
bool runUnprivileged(const std::function<bool()>& scenario)
{
    if (::geteuid() != 0)
        return scenario();
    const pid_t child = ::fork();
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        const bool dropped = ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
        ::_exit(dropped && scenario() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(RecordFilesUnprivileged, FileInAFolderThatCannotBeWrittenIsReplacedInPlace)
{
    const bool held = runUnprivileged([] {
        QTemporaryDir dir;
        const test::DataFolderSandbox dataFolder;
        const QString file = dir.filePath("out.txt");
        writeFile(file, "old contents\r\n");
        const ino_t inode = statOf(file).st_ino;
        ::chmod(QFile::encodeName(dir.path()).constData(), 0555);

        test::RecordingPoster poster;
        RecordList list;
        list.assign({"new"});
        const bool saved = SaveRecordsFile(poster, list, file).written;
        ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
        return saved && readFile(file) == "new\r\n" && statOf(file).st_ino == inode
            && QDir(dir.path()).entryList(QDir::Files | QDir::Hidden) == QStringList {"out.txt"}
            && test::DataFolderSandbox::files().isEmpty()
            && poster.messages() == QStringList {msg::kSavingFile, msg::writtenRecords(1)};
    });
    EXPECT_TRUE(held);
}

TEST_F(RecordFilesTest, InterruptedSetKeepsEveryPreviousFileBesideIt)
{
    writeFile(path("out.txt"), "good\r\n");
    m_list.assign({"part 1"});
    EXPECT_TRUE(save(path("out.txt"), SaveKind::KeepPrevious));
    m_list.assign({"part 2"});
    EXPECT_TRUE(save(path("out.txt"), SaveKind::KeepPrevious));
    m_list.assign({"whole"});
    EXPECT_TRUE(save(path("out.txt")));

    EXPECT_EQ(readFile(path("out.txt")), "whole\r\n");
    EXPECT_EQ(readFile(path("out.txt.bak")), "good\r\n");
    EXPECT_EQ(readFile(path("out.txt.2.bak")), "part 1\r\n");
    EXPECT_EQ(dirEntries(), (QStringList {"out.txt", "out.txt.2.bak", "out.txt.bak"}));
    EXPECT_EQ(m_poster.messages(),
              (QStringList {msg::kSavingFile, msg::previousFileKept(path("out.txt.bak")), msg::writtenRecords(1),
                            msg::kSavingFile, msg::previousFileKept(path("out.txt.2.bak")), msg::writtenRecords(1),
                            msg::kSavingFile, msg::writtenRecords(1)}));
}

// Files of this process may not grow past a small size while it lives, and the
// signal that would end the process becomes a failed write instead.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        m_applied = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool applied() const { return m_applied; }

private:
    rlimit m_saved {};
    void (*m_savedHandler)(int) = nullptr;
    bool m_applied = false;
};

TEST_F(RecordFilesTest, FailedWriteLeavesTheOldFileIntactAndTheRecordsInTheList)
{
    QByteArray old;
    for (int value = 0; value < 256; ++value)
        old.append(static_cast<char>(value));
    const QStringList records(5000, QString(80, QLatin1Char('n')));

    // Replaced by a rename, then in place because a second link names the file.
    for (const bool linked : {false, true}) {
        SCOPED_TRACE(linked ? "in place" : "renamed");
        QTemporaryDir dir;
        const QString file = dir.filePath("out.txt");
        writeFile(file, old);
        if (linked) {
            ASSERT_EQ(::link(QFile::encodeName(file).constData(), QFile::encodeName(dir.filePath("other.txt")).constData()),
                      0);
        }
        m_list.assign(records);
        test::RecordingPoster poster;

        bool saved = true;
        {
            const FileSizeLimit limit(64 * 1024);
            ASSERT_TRUE(limit.applied());
            saved = SaveRecordsFile(poster, m_list, file).written;
        }
        EXPECT_FALSE(saved);
        EXPECT_EQ(readFile(file), old);
        EXPECT_EQ(m_list.records(), records);
        // Every place for a recovery file meets the same limit, and the loss is told with its reason.
        const QString why = msg::dataFileRefused(file, std::strerror(EFBIG));
        const QStringList expected = linked ? QStringList {msg::kSavingFile, msg::previousFileKept(file + ".bak"),
                                                           msg::kFileError, why}
                                            : QStringList {msg::kSavingFile, msg::kFileError, why};
        EXPECT_EQ(poster.messages().mid(0, expected.size()), expected);
        EXPECT_EQ(poster.messages().mid(expected.size()).join(QLatin1Char('|')).section(QStringLiteral("; "), 0, 0),
                  msg::recordsLost(5000, test::DataFolderSandbox::folder() + ": " + std::strerror(EFBIG)));
    }
}

struct SafetyCase {
    const char* name;
    // Lays out the case beside a sticky "shared"; returns the data file, or nothing where only root could.
    QString (*plant)(const QDir& dir, QFile& held);
    bool accepted;     // before the port opens; an accepted file then fails only for want of disk space
    const char* says;  // part of the lines posted when the records are not saved
    QStringList after; // the folder afterwards, every file in it but the data file as planted
};

void PrintTo(const SafetyCase& c, std::ostream* os) { *os << c.name; }

class FileSafetyTest : public RecordFilesTest, public ::testing::WithParamInterface<SafetyCase> {};

TEST_P(FileSafetyTest, NoWriteThroughAnotherUsersNameAndNoRemovalOfWhatIsInUse)
{
    const SafetyCase& c = GetParam();
    const QByteArray temporaryFolder = qgetenv("TMPDIR");
    const QDir dir(m_dir.path());
    dir.mkdir("shared");
    ::chmod(QFile::encodeName(dir.filePath("shared")).constData(), 01777);
    QFile held;
    const QString target = c.plant(dir, held);
    if (target.isEmpty())
        GTEST_SKIP() << "only root can give a link to another user";
    m_list.assign(QStringList(5000, QString(80, QLatin1Char('n'))));
    test::RecordingPoster checked;
    EXPECT_EQ(CheckReceiveFile(checked, target), c.accepted);
    std::optional<FileSizeLimit> diskFull;
    if (c.accepted && *c.says != '\0')
        diskFull.emplace(64 * 1024);
    EXPECT_EQ(SaveRecordsFile(m_poster, m_list, target).written, *c.says == '\0');
    diskFull.reset();
    qputenv("TMPDIR", temporaryFolder);
    const QString said = m_poster.messages().join(QLatin1Char('\n'));
    EXPECT_TRUE(said.contains(QString::fromUtf8(c.says))) << said.toStdString();
    QStringList after;
    for (QDirIterator it(dir.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        after.append(dir.relativeFilePath(it.next()));
        EXPECT_TRUE(!it.fileInfo().isFile() || it.filePath() == target || readFile(it.filePath()) == "old\r\n")
            << after.last().toStdString();
    }
    after.sort();
    EXPECT_EQ(after, c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileSafetyTest,
    ::testing::Values(
        SafetyCase {"HardLinkInASharedFolder",
                    [](const QDir& dir, QFile&) {
                        writeFile(dir.filePath("victim.txt"), "old\r\n");
                        EXPECT_EQ(::link(QFile::encodeName(dir.filePath("victim.txt")).constData(),
                                         QFile::encodeName(dir.filePath("shared/data.txt")).constData()),
                                  0);
                        return dir.filePath("shared/data.txt");
                    },
                    false, "has 2 links and this one is in a shared folder",
                    {"shared", "shared/data.txt", "victim.txt"}},
        SafetyCase {"TemporariesOfAKilledSave",
                    [](const QDir& dir, QFile& held) {
                        for (const char* name : {".data.txt.x1Y2z3", ".data.txt.x1Y2z", ".other.txt.x1Y2z3"})
                            writeFile(dir.filePath(name), "old\r\n");
                        held.setFileName(dir.filePath(".data.txt.h3L4d5"));
                        if (held.open(QIODevice::WriteOnly) && held.write("old\r\n") == 5 && held.flush())
                            ::flock(held.handle(), LOCK_EX);
                        return dir.filePath("data.txt");
                    },
                    true, "", {".data.txt.h3L4d5", ".data.txt.x1Y2z", ".other.txt.x1Y2z3", "data.txt", "shared"}},
        SafetyCase {"RecoveryFolderThroughAnotherUsersLink",
                    [](const QDir& dir, QFile&) {
                        dir.mkdir("theirs");
                        const QByteArray link = QFile::encodeName(dir.filePath("shared/tmp"));
                        if (::geteuid() != 0 || ::symlink("../theirs", link.constData()) != 0
                            || ::lchown(link.constData(), 65534, 65534) != 0)
                            return QString();
                        qputenv("TMPDIR", link);
                        return dir.filePath("data.txt");
                    },
                    true, "/shared/tmp: the symbolic link ", {"shared", "shared/tmp", "theirs"}}),
    [](const ::testing::TestParamInfo<SafetyCase>& param) { return std::string(param.param.name); });

TEST_F(RecordFilesTest, EveryByteValueRoundTripsThroughFiles)
{
    QByteArray original;
    for (const QString& record : recordsOfEveryByte())
        original += record.toLatin1() + "\r\n";
    writeFile(path("in.txt"), original);

    load(path("in.txt"));
    EXPECT_EQ(m_list.records(), recordsOfEveryByte());
    EXPECT_TRUE(save(path("out.txt")));
    EXPECT_EQ(readFile(path("out.txt")), original);
}

TEST_F(RecordFilesTest, LineEndsInsideTheBytesBecomeCrLf)
{
    QByteArray original;
    for (int value = 0; value < 256; ++value)
        original.append(static_cast<char>(value));
    writeFile(path("in.txt"), original + "\r\r\n\n");

    load(path("in.txt"));
    ASSERT_EQ(m_list.count(), 4) << "ends at byte 13, at the CR and at the CR LF; the last LF is data";
    EXPECT_TRUE(save(path("out.txt")));
    EXPECT_EQ(readFile(path("out.txt")), QByteArray(original).replace("\r", "\r\n") + "\r\n\r\n\n\r\n");
}

} // namespace
} // namespace ql
