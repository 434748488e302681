#include "records/RecordFiles.h"

#include "eventlog/Messages.h"
#include "records/RecordFormat.h"
#include "records/RecordList.h"
#include "records/RecordingPoster.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace ql {
namespace {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

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

class RecordFilesTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }

    void load(const QString& file) { LoadRecordsFile(m_poster, m_list, file); }
    bool save(const QString& file) { return SaveRecordsFile(m_poster, m_list, file); }

    QTemporaryDir m_dir;
    test::RecordingPoster m_poster;
    RecordList m_list;
};

TEST_F(RecordFilesTest, LoadFillsTheListAndReportsTheCount)
{
    writeBytes(path("data.txt"), "A\r\n\r\n B \r\n");
    load(path("data.txt"));
    EXPECT_EQ(m_list.records(), (QStringList {"A", "", " B "}));
    EXPECT_EQ(m_poster.messages(), (QStringList {msg::kOpeningFile, msg::foundRecords(3)}));
}

TEST_F(RecordFilesTest, EmptyFileLoadsNoRecords)
{
    m_list.assign({"old"});
    writeBytes(path("empty.txt"), "");
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
        UnreadableCase {"ReadFails", [](const QTemporaryDir&) { return QStringLiteral("/proc/self/mem"); }}),
    [](const ::testing::TestParamInfo<UnreadableCase>& param) { return std::string(param.param.name); });

TEST_F(RecordFilesTest, FileOfTheMostRecordsLoadsWhole)
{
    writeBytes(path("full.txt"), numberedLines(kMaxRecords));
    load(path("full.txt"));
    ASSERT_EQ(m_list.count(), kMaxRecords);
    EXPECT_EQ(m_list.at(0), "0");
    EXPECT_EQ(m_list.at(kMaxRecords - 1), QString::number(kMaxRecords - 1));
    EXPECT_EQ(m_poster.messages(), (QStringList {msg::kOpeningFile, msg::foundRecords(32767)}));
}

TEST_F(RecordFilesTest, FileOfTooManyRecordsLeavesNothingToSend)
{
    m_list.assign({"old"});
    writeBytes(path("over.txt"), numberedLines(kMaxRecords) + "\r\n");
    load(path("over.txt"));
    EXPECT_EQ(m_list.count(), 0);
    EXPECT_EQ(m_poster.messages(), (QStringList {msg::kOpeningFile, msg::kFileError}));
}

TEST_F(RecordFilesTest, SaveWritesCrLfAfterEveryRecord)
{
    m_list.assign({"A", "", "B"});
    EXPECT_TRUE(save(path("out.txt")));
    EXPECT_EQ(readBytes(path("out.txt")), "A\r\n\r\nB\r\n");
    EXPECT_EQ(m_poster.messages(), (QStringList {msg::kSavingFile, msg::writtenRecords(3)}));
    EXPECT_EQ(m_list.records(), (QStringList {"A", "", "B"}));
}

TEST_F(RecordFilesTest, SaveOfNoRecordsLeavesAnEmptyFile)
{
    writeBytes(path("out.txt"), "old content\r\n");
    EXPECT_TRUE(save(path("out.txt")));
    EXPECT_TRUE(QFile::exists(path("out.txt")));
    EXPECT_EQ(QFile(path("out.txt")).size(), 0);
    EXPECT_EQ(m_poster.messages(), (QStringList {msg::kSavingFile, msg::writtenRecords(0)}));
}

struct UnwritableCase {
    const char* name;
    QString (*path)(const QTemporaryDir& dir);
};

void PrintTo(const UnwritableCase& c, std::ostream* os) { *os << c.name; }

class UnwritablePathTest : public RecordFilesTest, public ::testing::WithParamInterface<UnwritableCase> {};

TEST_P(UnwritablePathTest, ReportsAnErrorAndKeepsTheRecords)
{
    m_list.assign({"A", "B"});
    EXPECT_FALSE(save(GetParam().path(m_dir)));
    EXPECT_EQ(m_list.records(), (QStringList {"A", "B"}));
    EXPECT_EQ(m_poster.messages(), (QStringList {msg::kSavingFile, msg::kFileError}));
    EXPECT_TRUE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty())
        << "no temporary file is left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Paths, UnwritablePathTest,
    ::testing::Values(
        UnwritableCase {"EmptyPath", [](const QTemporaryDir&) { return QString(); }},
        UnwritableCase {"MissingFolder", [](const QTemporaryDir& dir) { return dir.filePath("no/out.txt"); }},
        UnwritableCase {"Folder", [](const QTemporaryDir& dir) { return dir.path(); }},
        UnwritableCase {"NameCutAtNul",
                        [](const QTemporaryDir& dir) { return dir.filePath(QString::fromLatin1("cut\0name.txt", 12)); }}),
    [](const ::testing::TestParamInfo<UnwritableCase>& param) { return std::string(param.param.name); });

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

TEST_F(RecordFilesTest, FailedWriteLeavesTheOldFileIntact)
{
    QByteArray old;
    for (int value = 0; value < 256; ++value)
        old.append(static_cast<char>(value));
    writeBytes(path("out.txt"), old);
    m_list.assign(QStringList(5000, QString(80, QLatin1Char('n'))));

    bool saved = true;
    {
        const FileSizeLimit limit(64 * 1024);
        ASSERT_TRUE(limit.applied());
        saved = save(path("out.txt"));
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(readBytes(path("out.txt")), old);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList {"out.txt"}));
    EXPECT_EQ(m_poster.messages(), (QStringList {msg::kSavingFile, msg::kFileError}));
}

TEST_F(RecordFilesTest, EveryByteValueRoundTripsThroughFiles)
{
    QByteArray original;
    for (const QString& record : recordsOfEveryByte())
        original += record.toLatin1() + "\r\n";
    writeBytes(path("in.txt"), original);

    load(path("in.txt"));
    EXPECT_EQ(m_list.records(), recordsOfEveryByte());
    EXPECT_TRUE(save(path("out.txt")));
    EXPECT_EQ(readBytes(path("out.txt")), original);
}

TEST_F(RecordFilesTest, LineEndsInsideTheBytesBecomeCrLf)
{
    QByteArray original;
    for (int value = 0; value < 256; ++value)
        original.append(static_cast<char>(value));
    writeBytes(path("in.txt"), original + "\r\r\n\n");

    load(path("in.txt"));
    ASSERT_EQ(m_list.count(), 4) << "ends at byte 13, at the CR and at the CR LF; the last LF is data";
    EXPECT_TRUE(save(path("out.txt")));
    EXPECT_EQ(readBytes(path("out.txt")), QByteArray(original).replace("\r", "\r\n") + "\r\n\r\n\n\r\n");
}

} // namespace
} // namespace ql
