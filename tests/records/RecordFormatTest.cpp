#include "records/RecordFormat.h"
#include "records/RecordList.h"

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

    // However the reads cut the file, the records are the same.
    RecordSplitter splitter;
    for (const char byte : c.bytes)
        ASSERT_TRUE(splitter.feed(QByteArrayView(&byte, 1)));
    EXPECT_EQ(splitter.finish(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SplitRecordsTest,
    ::testing::Values(
        SplitCase {"EmptyFileHasNoRecords", "", {}},
        SplitCase {"LastLineNeedsNoTerminator", "A\r\nB", latin1List({"A", "B"})},
        SplitCase {"EmptyLineIsARecord", "A\r\n\r\nB\r\n", latin1List({"A", "", "B"})},
        SplitCase {"LoneCrEndsARecord", "A\rB\r", latin1List({"A", "B"})},
        SplitCase {"LfEndsARecordInAFileWithoutCr", "A\nB\n", latin1List({"A", "B"})},
        SplitCase {"LfOnlyLastLineNeedsNoTerminator", "A\n\nB", latin1List({"A", "", "B"})},
        SplitCase {"LoneLfIsDataInAFileWithCr", "A\nB\r\nC\n", latin1List({"A\nB", "C\n"})},
        SplitCase {"MixedCrLfAndLoneCr", "A\r\nB\rC\r\n", latin1List({"A", "B", "C"})},
        SplitCase {"LfBeforeCrIsData", "A\n\rB", latin1List({"A\n", "B"})},
        SplitCase {"OnlyCrLfIsOneEmptyRecord", "\r\n", latin1List({""})},
        SplitCase {"OnlyCrIsOneEmptyRecord", "\r", latin1List({""})},
        SplitCase {"CrThenCrLfIsTwoEmptyRecords", "\r\r\n", latin1List({"", ""})},
        SplitCase {"CrLfCrLfIsTwoEmptyRecords", "\r\n\r\n", latin1List({"", ""})},
        SplitCase {"LfAloneIsOneEmptyRecord", "\n", latin1List({""})},
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

TEST(RecordFormat, MoreOrLongerRecordsThanTheLimitsGiveNothing)
{
    EXPECT_EQ(splitRecords("A\r\nB\r\nC", 3), latin1List({"A", "B", "C"}));
    EXPECT_EQ(splitRecords("A\r\nB\r\nC\r\n", 3), latin1List({"A", "B", "C"}));
    EXPECT_EQ(splitRecords("A\nB\nC\n", 3), latin1List({"A", "B", "C"}));
    EXPECT_EQ(splitRecords("A\r\nB\r\nC\r\nD", 3), std::nullopt);
    EXPECT_EQ(splitRecords("A\r\nB\r\nC\r\n\r\n", 3), std::nullopt);
    EXPECT_EQ(splitRecords("A\nB\nC\nD", 3), std::nullopt);

    EXPECT_EQ(splitRecords("abc\r\nde", 10, 3), latin1List({"abc", "de"}));
    EXPECT_EQ(splitRecords("abcd\r\n", 10, 3), std::nullopt);
    EXPECT_EQ(splitRecords("ab\nabcd\n", 10, 3), std::nullopt);
    EXPECT_EQ(splitRecords("abcd", 10, 3), std::nullopt);
    // Without a CR in its first bytes a file splits at LF; a CR later means its first
    // record, by the CR rule, was too long.
    EXPECT_EQ(splitRecords("ab\nc\nd\r\n", 10, 3), std::nullopt);
}

TEST(RecordFormat, ReadingStopsOnceTheFileIsRefused)
{
    RecordSplitter splitter(kMaxRecords, 8);
    EXPECT_TRUE(splitter.feed("12345678"));
    EXPECT_FALSE(splitter.feed("9"));
    EXPECT_FALSE(splitter.feed("\r\n"));
    EXPECT_EQ(splitter.finish(), std::nullopt);
}

TEST(RecordList, ShowsControlCharactersVisiblyAndKeepsThemInTheData)
{
    const QString record = QString::fromLatin1("a\tb\r\nc\x00\x7f\x85\xe9", 10);
    RecordList list;
    list.assign({record, QStringLiteral("plain")});
    EXPECT_EQ(list.data(list.index(0), Qt::DisplayRole).toString(),
              QStringLiteral("a\u2409b\u240d\u240ac\u2400\u2421\ufffd\u00e9"));
    EXPECT_EQ(list.data(list.index(1), Qt::DisplayRole).toString(), QStringLiteral("plain"));
    EXPECT_EQ(list.at(0), record);
}

} // namespace
} // namespace ql
