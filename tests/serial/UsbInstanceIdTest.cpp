#include "serial/UsbInstanceId.h"

#include <gtest/gtest.h>

namespace ql {
namespace {

struct InstanceCase {
    const char* instanceId;
    const char* vendorId;
    const char* productId;
    const char* serialNumber;
};

class UsbInstanceIdTest : public testing::TestWithParam<InstanceCase> {};

TEST_P(UsbInstanceIdTest, GivesTheAdaptersIdsAndSerialNumber)
{
    const InstanceCase& c = GetParam();
    const UsbInstanceId id = parseUsbInstanceId(QString::fromLatin1(c.instanceId));
    EXPECT_EQ(id.vendorId, QLatin1String(c.vendorId));
    EXPECT_EQ(id.productId, QLatin1String(c.productId));
    EXPECT_EQ(id.serialNumber, QLatin1String(c.serialNumber));
}

INSTANTIATE_TEST_SUITE_P(
    InstanceIds, UsbInstanceIdTest,
    testing::Values(InstanceCase {R"(USB\VID_0403&PID_6001\A12345)", "0403", "6001", "A12345"},
                    InstanceCase {R"(FTDIBUS\VID_0403+PID_6001+A12345A\0000)", "0403", "6001", "A12345"},
                    InstanceCase {R"(FTDIBUS\VID_0403+PID_6010+FT4XQ1B\0000)", "0403", "6010", "FT4XQ1"},
                    InstanceCase {R"(usb\vid_10c4&pid_ea60\0001)", "10c4", "ea60", "0001"},
                    InstanceCase {R"(USB\VID_1A86&PID_7523\5&2A3B4C5&0&1)", "1a86", "7523", ""},
                    InstanceCase {R"(USB\VID_2341&PID_0043&MI_00\6&1F2E3D&0&0000)", "2341", "0043", ""},
                    InstanceCase {R"(ACPI\PNP0501\1)", "", "", ""},
                    InstanceCase {R"(USB\VID_0403&PID_6001)", "", "", ""},
                    InstanceCase {R"(USB\VID_04&PID_6001\A1)", "", "", ""}));

} // namespace
} // namespace ql
