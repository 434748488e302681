#pragma once

#include "serial/PortMap.h"

namespace ql {

// The serial ports the system lists, each with what it says of the device.
QList<SystemPort> systemPorts();

} // namespace ql
