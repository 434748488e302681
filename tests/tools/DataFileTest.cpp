#include "hhcsim/DataFile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ql::test {
namespace {

using hhcsim::parseDataFile;

struct ParseCase {
    const char* name;
    QByteArray file;
    QByteArrayList records;
};

class DataFileParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(DataFileParse, CutsRecordsLikeTheProgram)
{
    EXPECT_EQ(parseDataFile(GetParam().file), GetParam().records);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DataFileParse,
    ::testing::Values(ParseCase {"EmptyFile", "", {}},
                      ParseCase {"LastLineUnterminated", "A\r\nB", {"A", "B"}},
                      ParseCase {"EmptyLineIsARecord", "A\r\n\r\nB\r\n", {"A", "", "B"}},
                      ParseCase {"LoneCrEndsALine", "A\rB\r", {"A", "B"}},
                      ParseCase {"LoneLfIsData", "A\nB\n", {"A\nB\n"}},
                      ParseCase {"OneEmptyLine", "\r\n", {""}},
                      ParseCase {"BlanksAndProtocolCharsKept", " a@$^ \t\r\n\xff\x80", {" a@$^ \t", "\xff\x80"}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(DataFile, WritesEveryRecordWithCrLfAndReadsItBack)
{
    const QByteArrayList records {"0001 PENCIL", "", "\xe9t\xe9 \xff"};
    EXPECT_EQ(hhcsim::formatDataFile(records), QByteArray("0001 PENCIL\r\n\r\n\xe9t\xe9 \xff\r\n"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("set.txt"));
    QString error;
    ASSERT_TRUE(hhcsim::writeDataFile(path, records, error)) << error.toStdString();
    QByteArrayList back;
    ASSERT_TRUE(hhcsim::readDataFile(path, back, error)) << error.toStdString();
    EXPECT_EQ(back, records);
}

TEST(DataFile, ReportsAFileThatCannotBeReadOrWritten)
{
    QTemporaryDir dir;
    QString error;
    QByteArrayList records;
    EXPECT_FALSE(hhcsim::readDataFile(dir.filePath(QStringLiteral("missing.txt")), records, error));
    EXPECT_TRUE(error.contains(QStringLiteral("missing.txt")));
    error.clear();
    EXPECT_FALSE(hhcsim::writeDataFile(dir.filePath(QStringLiteral("no/such/folder.txt")), {"R"}, error));
    EXPECT_TRUE(error.contains(QStringLiteral("folder.txt")));
}

} // namespace
} // namespace ql::test
