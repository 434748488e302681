#include "app/VersionText.h"

#include <gtest/gtest.h>

namespace ql {
namespace {

struct VersionCase {
    qint16 major, minor, revision;
    const char* expected;
};

void PrintTo(const VersionCase& c, std::ostream* out)
{
    *out << c.expected;
}

class VersionTextTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionTextTest, FormatsTheFourFields)
{
    const VersionCase& c = GetParam();
    EXPECT_EQ(VersionText(c.major, c.minor, c.revision), QString::fromLatin1(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Cases, VersionTextTest,
                         ::testing::Values(VersionCase {1, 0, 188, "1.0.188.1"},
                                           VersionCase {1, 0, 7, "1.0.007.1"},
                                           VersionCase {1, 10, 188, "1.10.188.1"},
                                           VersionCase {12, 3, 1234, "12.3.1234.1"},
                                           VersionCase {0, 0, 0, "0.0.000.1"}));

TEST(VersionText, ThisBuildIsRelease1_0_188)
{
    EXPECT_EQ(VersionText(), QStringLiteral("1.0.188.1"));
}

} // namespace
} // namespace ql
