#pragma once

#include "serial/DeviceAccess.h"
#include "serial/PortCheck.h"
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

// Opens and closes each port number in turn, leaving the port closed. A number
// is listed only when its own port opened: a failed selection must not let the
// port selected before answer for it. `names` tells which device a refused
// number stands for.
PortProbeResult ProbePorts(SerialControl& control, const PortMap& names, const AccessLookup& access = {});

// The device behind a number with what the system says of it, or "" when the
// number stands for none.
QString portDescription(const PortMap& names, qint16 number);

// The port box's tooltip for a port: the device and what the system says of it,
// then the port's identity and the warnings that concern it.
QString portToolTip(const PortMap& names, const PortCheck& port, const QList<PortWarning>& warnings);

} // namespace ql
