#pragma once

#include "app/DeviceAccess.h"
#include "serial/PortMap.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>

namespace ql {

class SerialControl;

// What one probe of the port numbers found.
struct PortProbeResult {
    QList<qint16> opened; // ascending
    // Why no port opened, a line each for the event list; empty when one did.
    QStringList reasons;
};

// Where the probe learns who may open a refused device and who this process is.
struct AccessLookup {
    std::function<std::optional<DeviceAccess>(const QString& path)> device = deviceAccess;
    std::function<std::optional<ProcessIdentity>()> process = processIdentity;
};

// Whether joining the device's group is what would let the process open it.
bool joiningGroupAdmits(const DeviceAccess& device, const ProcessIdentity& process);

// Opens and closes each port number in turn, leaving the port closed. A number
// is listed only when its own port opened: a failed selection must not let the
// port selected before answer for it. `names` tells which device a refused
// number stands for.
PortProbeResult ProbePorts(SerialControl& control, const PortMap& names, const AccessLookup& access = {});

// The device behind a number with what the system says of it, or "" when the
// number stands for none.
QString portDescription(const PortMap& names, qint16 number);

} // namespace ql
