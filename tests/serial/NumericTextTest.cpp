#include "common/Failure.h"
#include "serial/NumericText.h"

#include <gtest/gtest.h>

#include <optional>

namespace ql {
namespace {

struct ValueCase {
    const char* text;
    double value;
};

class NumericValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(NumericValueTest, ReadsTheLeadingNumber)
{
    EXPECT_DOUBLE_EQ(numericValue(QString::fromLatin1(GetParam().text)), GetParam().value)
        << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, NumericValueTest,
                         ::testing::Values(ValueCase {"", 0}, ValueCase {"abc", 0}, ValueCase {"1e3", 1000},
                                           ValueCase {"-1", -1}, ValueCase {"2.5", 2.5}, ValueCase {"  42", 42},
                                           ValueCase {"\t+7", 7}, ValueCase {"12abc", 12}, ValueCase {"3 4", 3},
                                           ValueCase {".5", 0.5}, ValueCase {"5.", 5}, ValueCase {"2e", 2},
                                           ValueCase {"2e+", 2}, ValueCase {"1E-2", 0.01}, ValueCase {"-", 0},
                                           ValueCase {".", 0}, ValueCase {"-.e5", 0}, ValueCase {"0x10", 0},
                                           ValueCase {"1e-400", 0}, ValueCase {"08", 8}));

TEST(NumericValue, HugeExponentIsInfiniteNotZero)
{
    EXPECT_TRUE(std::isinf(numericValue(QStringLiteral("1e400"))));
    EXPECT_TRUE(std::isinf(numericValue(QStringLiteral("-1e400"))));
}

struct RoundCase {
    const char* text;
    std::optional<qint16> port; // nullopt: overflow
};

class RoundToInt16Test : public ::testing::TestWithParam<RoundCase> {};

TEST_P(RoundToInt16Test, RoundsHalvesToEvenAndRefusesOutOfRange)
{
    const RoundCase& c = GetParam();
    if (c.port) {
        EXPECT_EQ(numericInt16(QString::fromLatin1(c.text)), *c.port) << c.text;
    } else {
        try {
            numericInt16(QString::fromLatin1(c.text));
            ADD_FAILURE() << c.text << " did not overflow";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.number(), Failure::kOverflow);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PortTexts, RoundToInt16Test,
                         ::testing::Values(RoundCase {"2.5", 2}, RoundCase {"3.5", 4}, RoundCase {"16.6", 17},
                                           RoundCase {"-1", -1}, RoundCase {"1e3", 1000},
                                           RoundCase {"99999", std::nullopt}, RoundCase {"", 0},
                                           RoundCase {"abc", 0}, RoundCase {"0.5", 0}, RoundCase {"1.5", 2},
                                           RoundCase {"-2.5", -2}, RoundCase {"-3.5", -4}, RoundCase {"2.4999", 2},
                                           RoundCase {"32767.4", 32767}, RoundCase {"32767.5", std::nullopt},
                                           RoundCase {"-32768.5", -32768}, RoundCase {"-32769", std::nullopt},
                                           RoundCase {"1e400", std::nullopt}, RoundCase {"-1e400", std::nullopt}));

struct ShortestCase {
    const char* text;
    const char* shortest;
};

class ShortestDecimalTest : public ::testing::TestWithParam<ShortestCase> {};

TEST_P(ShortestDecimalTest, WritesTheValueBackPlainly)
{
    EXPECT_EQ(shortestDecimal(numericValue(QString::fromLatin1(GetParam().text))),
              QString::fromLatin1(GetParam().shortest));
}

INSTANTIATE_TEST_SUITE_P(Texts, ShortestDecimalTest,
                         ::testing::Values(ShortestCase {"08", "8"}, ShortestCase {"1.5", "1.5"},
                                           ShortestCase {"", "0"}, ShortestCase {"8.0", "8"},
                                           ShortestCase {"2.50", "2.5"}, ShortestCase {"0.1", "0.1"},
                                           ShortestCase {"-0", "0"}, ShortestCase {"1e3", "1000"},
                                           ShortestCase {"100000", "100000"}, ShortestCase {"-1.25", "-1.25"},
                                           ShortestCase {"abc", "0"}));

} // namespace
} // namespace ql
