#pragma once

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ql {

struct DeviceHolder {
    long pid = 0;
    std::string name;
};

// Another process with the device open, among those whose descriptors this
// process may read. Not seen: other users' processes (unless running as root),
// and processes that reach the device only through /dev/tty. `proc` is where the
// process folders are found.
std::optional<DeviceHolder> otherHolder(dev_t device, const std::string& proc = "/proc");

// The lowest PID running under each of the names (their comm) that one runs under,
// found in one pass.
std::map<std::string, long> processesNamed(const std::vector<std::string>& names, const std::string& proc = "/proc");

} // namespace ql
