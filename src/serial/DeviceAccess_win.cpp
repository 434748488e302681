#include "serial/DeviceAccess.h"

namespace ql {

// Windows grants a port by its security descriptor; there is no group to join.
std::optional<DeviceAccess> deviceAccess(const QString&)
{
    return std::nullopt;
}

std::optional<ProcessIdentity> processIdentity()
{
    return std::nullopt;
}

} // namespace ql
