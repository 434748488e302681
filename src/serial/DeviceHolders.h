#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace ql {

struct DeviceHolder {
    long pid = 0;
    std::string name;
};

// Another process with the device open, among those whose descriptors this
// process may read. Not seen: other users' processes (unless running as root),
// and processes that reach the device only through /dev/tty.
std::optional<DeviceHolder> otherHolder(dev_t device);

} // namespace ql
