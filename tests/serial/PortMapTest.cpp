#include "serial/PortMap.h"

#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ql {
namespace {

QProcessEnvironment environmentWith(std::initializer_list<std::pair<const char*, const char*>> variables)
{
    QProcessEnvironment environment;
    for (const auto& [name, value] : variables)
        environment.insert(QString::fromLatin1(name), QString::fromLatin1(value));
    return environment;
}

QStringList numberedNames(const PortMap& map)
{
    QStringList names;
    for (const PortEntry& entry : map.entries())
        names << QStringLiteral("%1=%2").arg(entry.number).arg(entry.systemName);
    return names;
}

struct RuleCase {
    const char* name;
    QProcessEnvironment environment;
    QList<SystemPort> systemPorts;
    QStringList expected;
};

class PortMapRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(PortMapRule, NumbersThePorts)
{
    const RuleCase& c = GetParam();
    EXPECT_EQ(numberedNames(PortMap::fromRule(c.environment, c.systemPorts)), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortMapRule,
    ::testing::Values(
        RuleCase {"nothing", {}, {}, {}},
        RuleCase {"system ports in natural order",
                  {},
                  {{"/dev/ttyS10", ""}, {"/dev/ttyUSB0", ""}, {"/dev/ttyS2", ""}, {"/dev/ttyACM0", ""}},
                  {"1=/dev/ttyACM0", "2=/dev/ttyS2", "3=/dev/ttyS10", "4=/dev/ttyUSB0"}},
        RuleCase {"variables keep their numbers, system ports fill the gaps",
                  environmentWith({{"QUORVALINK_COM1", "/tmp/vport1"}, {"QUORVALINK_COM3", "/tmp/vport3"}}),
                  {{"/dev/ttyS1", ""}, {"/dev/ttyS0", ""}, {"/dev/ttyUSB0", ""}},
                  {"1=/tmp/vport1", "2=/dev/ttyS0", "3=/tmp/vport3", "4=/dev/ttyS1", "5=/dev/ttyUSB0"}},
        RuleCase {"a device named by a variable gets no second number",
                  environmentWith({{"QUORVALINK_COM5", "/dev/ttyUSB0"}}),
                  {{"/dev/ttyUSB0", ""}, {"/dev/ttyS0", ""}},
                  {"1=/dev/ttyS0", "5=/dev/ttyUSB0"}},
        RuleCase {"empty variables and numbers outside 1 to 99 are ignored",
                  environmentWith({{"QUORVALINK_COM2", ""}, {"QUORVALINK_COM0", "/tmp/zero"},
                                   {"QUORVALINK_COM100", "/tmp/hundred"}, {"QUORVALINK_COM99", "/tmp/last"}}),
                  {{"/dev/ttyS0", ""}},
                  {"1=/dev/ttyS0", "99=/tmp/last"}},
        RuleCase {"COMn is port n unless a variable took n; other ports fill the gaps",
                  environmentWith({{"QUORVALINK_COM3", "/tmp/v"}}),
                  {{"\\\\.\\COM12", ""}, {"\\\\.\\COM3", ""}, {"COM2", ""}, {"\\\\.\\COM120", ""}},
                  {"1=\\\\.\\COM3", "2=COM2", "3=/tmp/v", "4=\\\\.\\COM120", "12=\\\\.\\COM12"}},
        RuleCase {"a port listed twice keeps one number",
                  {},
                  {{"/dev/ttyS0", ""}, {"/dev/ttyS0", ""}, {"/dev/ttyS1", ""}},
                  {"1=/dev/ttyS0", "2=/dev/ttyS1"}}),
    [](const ::testing::TestParamInfo<RuleCase>& param) { return "Case" + std::to_string(param.index); });

TEST(PortMap, SystemPortsBeyond99GetNoNumber)
{
    QList<SystemPort> ports;
    for (int i = 0; i < 120; ++i)
        ports.append(SystemPort {QStringLiteral("/dev/ttyS%1").arg(i), {}});
    const PortMap map = PortMap::fromRule(environmentWith({{"QUORVALINK_COM1", "/tmp/v"}}), ports);
    ASSERT_EQ(map.entries().size(), 99);
    EXPECT_EQ(map.entry(99)->systemName, QStringLiteral("/dev/ttyS97"));
    EXPECT_FALSE(map.entry(100).has_value());
    EXPECT_FALSE(map.entry(0).has_value());
}

TEST(PortMap, DescriptionsTellWhereThePortComesFrom)
{
    const PortMap map = PortMap::fromRule(environmentWith({{"QUORVALINK_COM2", "/tmp/v"}}),
                                          {{"/dev/ttyUSB0", "FT232R USB UART"}});
    EXPECT_EQ(map.entry(1)->description, QStringLiteral("FT232R USB UART"));
    EXPECT_EQ(map.entry(2)->description, QStringLiteral("set by QUORVALINK_COM2"));
}

TEST(PortMap, NaturalOrderComparesDigitRunsAsNumbers)
{
    EXPECT_TRUE(naturalLess(QStringLiteral("ttyS2"), QStringLiteral("ttyS10")));
    EXPECT_FALSE(naturalLess(QStringLiteral("ttyS10"), QStringLiteral("ttyS2")));
    EXPECT_TRUE(naturalLess(QStringLiteral("ttyS9"), QStringLiteral("ttyUSB0")));
    EXPECT_TRUE(naturalLess(QStringLiteral("ttyS"), QStringLiteral("ttyS0")));
    EXPECT_FALSE(naturalLess(QStringLiteral("ttyS1"), QStringLiteral("ttyS1")));
    EXPECT_NE(naturalLess(QStringLiteral("ttyS01"), QStringLiteral("ttyS1")),
              naturalLess(QStringLiteral("ttyS1"), QStringLiteral("ttyS01")));
}

} // namespace
} // namespace ql
