#include "records/RecordFormat.h"

#include <gtest/gtest.h>

namespace ql {
namespace {

QStringList latin1List(std::initializer_list<const char*> texts)
{
    QStringList list;
    for (const char* text : texts)
        list.append(QString::fromLatin1(text));
    return list;
}

struct SplitCase {
    const char* name;
    QByteArray bytes;
    QStringList expected;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class SplitRecordsTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitRecordsTest, ReadsTheRecordsOfTheFile)
{
    const SplitCase& c = GetParam();
    const std::optional<QStringList> records = splitRecords(c.bytes);
    ASSERT_TRUE(records.has_value());
    EXPECT_EQ(*records, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SplitRecordsTest,
    ::testing::Values(
        SplitCase {"EmptyFileHasNoRecords", "", {}},
        SplitCase {"LastLineNeedsNoTerminator", "A\r\nB", latin1List({"A", "B"})},
        SplitCase {"EmptyLineIsARecord", "A\r\n\r\nB\r\n", latin1List({"A", "", "B"})},
        SplitCase {"LoneCrEndsARecord", "A\rB\r", latin1List({"A", "B"})},
        SplitCase {"LoneLfIsData", "A\nB\n", latin1List({"A\nB\n"})},
        SplitCase {"LfBeforeCrIsData", "A\n\rB", latin1List({"A\n", "B"})},
        SplitCase {"OnlyCrLfIsOneEmptyRecord", "\r\n", latin1List({""})},
        SplitCase {"OnlyCrIsOneEmptyRecord", "\r", latin1List({""})},
        SplitCase {"CrThenCrLfIsTwoEmptyRecords", "\r\r\n", latin1List({"", ""})},
        SplitCase {"CrLfCrLfIsTwoEmptyRecords", "\r\n\r\n", latin1List({"", ""})},
        SplitCase {"LfAloneIsOneRecord", "\n", latin1List({"\n"})},
        SplitCase {"BlanksAndTabsAreKept", " A \t\r\n\t B  ", latin1List({" A \t", "\t B  "})},
        SplitCase {"ProtocolCharactersAreKept", "^@$\r\n$\r\n", latin1List({"^@$", "$"})},
        SplitCase {"NulIsData", QByteArray("A\0B\r\n", 5), {QString::fromLatin1("A\0B", 3)}},
        SplitCase {"HighBytesAreLatin1", "\xe9t\xe9\r\n\xff", latin1List({"\xe9t\xe9", "\xff"})},
        SplitCase {"Utf8BytesStayBytes", "\xc3\xa9", latin1List({"\xc3\xa9"})}),
    [](const ::testing::TestParamInfo<SplitCase>& param) { return std::string(param.param.name); });

struct JoinCase {
    const char* name;
    QStringList records;
    QByteArray expected;
};

void PrintTo(const JoinCase& c, std::ostream* os) { *os << c.name; }

class JoinRecordsTest : public ::testing::TestWithParam<JoinCase> {};

TEST_P(JoinRecordsTest, WritesCrLfAfterEveryRecord)
{
    EXPECT_EQ(joinRecords(GetParam().records), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Records, JoinRecordsTest,
    ::testing::Values(JoinCase {"NoRecordsGiveNoBytes", {}, ""},
                      JoinCase {"EmptyRecordIsAnEmptyLine", latin1List({"A", "", "B"}), "A\r\n\r\nB\r\n"},
                      JoinCase {"OneEmptyRecord", latin1List({""}), "\r\n"},
                      JoinCase {"HighCharactersAreOneByte", latin1List({"\xe9\xff"}), "\xe9\xff\r\n"},
                      JoinCase {"LfInsideARecordIsWritten", latin1List({"A\nB"}), "A\nB\r\n"}),
    [](const ::testing::TestParamInfo<JoinCase>& param) { return std::string(param.param.name); });

TEST(RecordFormat, MoreRecordsThanTheLimitGiveNothing)
{
    EXPECT_EQ(splitRecords("A\r\nB\r\nC", 3), latin1List({"A", "B", "C"}));
    EXPECT_EQ(splitRecords("A\r\nB\r\nC\r\n", 3), latin1List({"A", "B", "C"}));
    EXPECT_EQ(splitRecords("A\r\nB\r\nC\r\nD", 3), std::nullopt);
    EXPECT_EQ(splitRecords("A\r\nB\r\nC\r\n\r\n", 3), std::nullopt);
}

} // namespace
} // namespace ql
