#include "serial/DeviceAccess.h"

namespace ql {

namespace {

constexpr unsigned kOwnerReadWrite = 0600;
constexpr unsigned kGroupReadWrite = 060;
constexpr unsigned kOthersReadWrite = 006;

} // namespace

bool mayReadWrite(const DeviceAccess& device, const ProcessIdentity& process)
{
    if (process.user == 0)
        return true;
    // The first class the process falls in decides, as the kernel checks them.
    if (process.user == device.owner)
        return (device.mode & kOwnerReadWrite) == kOwnerReadWrite;
    if (process.groups.contains(device.group))
        return (device.mode & kGroupReadWrite) == kGroupReadWrite;
    return (device.mode & kOthersReadWrite) == kOthersReadWrite;
}

bool joiningGroupAdmits(const DeviceAccess& device, const ProcessIdentity& process)
{
    // The owner's bits decide for the owner, and a device open to all needs no group.
    return process.user != device.owner && (device.mode & kGroupReadWrite) == kGroupReadWrite
        && (device.mode & kOthersReadWrite) != kOthersReadWrite && !process.groups.contains(device.group);
}

QString deviceModeText(unsigned mode)
{
    QString text = QStringLiteral("c");
    const char letters[] = "rwx";
    for (int bit = 8; bit >= 0; --bit)
        text += (mode & (1U << bit)) != 0 ? QLatin1Char(letters[(8 - bit) % 3]) : QLatin1Char('-');
    return text;
}

} // namespace ql
