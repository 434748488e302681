#include "common/Failure.h"
#include "serial/LineSettings.h"

#include <gtest/gtest.h>

namespace ql {
namespace {

struct GoodCase {
    const char* text;
    quint32 baud;
    Parity parity;
    int dataBits;
    StopBits stopBits;
};

class LineSettingsAccepts : public ::testing::TestWithParam<GoodCase> {};

TEST_P(LineSettingsAccepts, TakesTheTextApart)
{
    const GoodCase& c = GetParam();
    const LineSettings settings = LineSettings::parse(QString::fromLatin1(c.text));
    EXPECT_EQ(settings.baud, c.baud);
    EXPECT_EQ(settings.parity, c.parity);
    EXPECT_EQ(settings.dataBits, c.dataBits);
    EXPECT_EQ(settings.stopBits, c.stopBits);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LineSettingsAccepts,
    ::testing::Values(GoodCase {"9600,N,8,1", 9600, Parity::None, 8, StopBits::One},
                      GoodCase {"115200,n,8,1", 115200, Parity::None, 8, StopBits::One},
                      GoodCase {"56000,E,7,2", 56000, Parity::Even, 7, StopBits::Two},
                      GoodCase {"921600,o,6,1", 921600, Parity::Odd, 6, StopBits::One},
                      GoodCase {"300,N,5,1.5", 300, Parity::None, 5, StopBits::OneAndHalf},
                      GoodCase {" 1200 , N , 8 , 1 ", 1200, Parity::None, 8, StopBits::One}));

struct BadCase {
    const char* text;
    const char* mentions;
};

class LineSettingsRefuses : public ::testing::TestWithParam<BadCase> {};

TEST_P(LineSettingsRefuses, SaysWhatIsWrong)
{
    const BadCase& c = GetParam();
    try {
        LineSettings::parse(QString::fromLatin1(c.text));
        ADD_FAILURE() << c.text << " was accepted";
    } catch (const Failure& failure) {
        EXPECT_TRUE(failure.description().contains(QString::fromLatin1(c.mentions)))
            << failure.description().toStdString();
        EXPECT_TRUE(failure.description().contains(QString::fromLatin1(c.text)));
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, LineSettingsRefuses,
                         ::testing::Values(BadCase {"", "expected"}, BadCase {"9600,N,8", "expected"},
                                           BadCase {"9600,N,8,1,1", "expected"}, BadCase {"0,N,8,1", "baud"},
                                           BadCase {"-9600,N,8,1", "baud"}, BadCase {"96.5,N,8,1", "baud"},
                                           BadCase {"abc,N,8,1", "baud"}, BadCase {"99999999999,N,8,1", "baud"},
                                           BadCase {",N,8,1", "baud"}, BadCase {"9600,M,8,1", "parity"},
                                           BadCase {"9600,N,0,1", "data bits"}, BadCase {"9600,N,4,1", "data bits"},
                                           BadCase {"9600,N,9,1", "data bits"}, BadCase {"9600,N,8,3", "stop bits"},
                                           BadCase {"9600,N,8,0", "stop bits"}, BadCase {"9600,N,8,1.5", "1.5"},
                                           BadCase {"9600,N,5,2", "2 stop bits"}));

TEST(LineSettings, BitsPerCharacterCountsStartParityAndStop)
{
    EXPECT_DOUBLE_EQ(LineSettings::parse(QStringLiteral("9600,N,8,1")).bitsPerCharacter(), 10.0);
    EXPECT_DOUBLE_EQ(LineSettings::parse(QStringLiteral("9600,E,7,2")).bitsPerCharacter(), 11.0);
    EXPECT_DOUBLE_EQ(LineSettings::parse(QStringLiteral("9600,N,5,1.5")).bitsPerCharacter(), 7.5);
}

} // namespace
} // namespace ql
