#include "serial/PortIdentity.h"

namespace ql {

PortIdentity portIdentity(const QString& device, const QString&)
{
    PortIdentity identity;
    identity.device = device;
    return identity;
}

} // namespace ql
