#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace ql {

// Who may open a device file, as the system keeps it.
struct DeviceAccess {
    unsigned owner = 0;
    unsigned group = 0;
    unsigned mode = 0; // permission bits
    QString ownerName;
    QString groupName;
};

// Who this process is to the system's permission check.
struct ProcessIdentity {
    unsigned user = 0;
    QList<unsigned> groups; // the effective group and the supplementary ones
    QString userName;
};

// Nothing where the device is gone, or where the system keeps no owner and group.
std::optional<DeviceAccess> deviceAccess(const QString& path);
// Nothing where the system has no groups to join.
std::optional<ProcessIdentity> processIdentity();

// Whether the permission bits let the process read and write the device; root may.
bool mayReadWrite(const DeviceAccess& device, const ProcessIdentity& process);
// Whether joining the device's group is what would let the process open it.
bool joiningGroupAdmits(const DeviceAccess& device, const ProcessIdentity& process);
// The permission bits as a listing shows a character device: crw-rw----.
QString deviceModeText(unsigned mode);

} // namespace ql
