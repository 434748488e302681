#pragma once

#include "serial/PortMap.h"

#include <QList>
#include <QString>
#include <QtGlobal>

namespace ql {

class SerialControl;

// What one probe of the port numbers found.
struct PortProbeResult {
    QList<qint16> opened; // ascending
    // Why no port opened, for the event list; empty when one did.
    QString reason;
};

// Opens and closes each port number in turn, leaving the port closed. A number
// is listed only when its own port opened: a failed selection must not let the
// port selected before answer for it. `names` tells which device a refused
// number stands for.
PortProbeResult ProbePorts(SerialControl& control, const PortMap& names);

// The device behind a number with what the system says of it, or "" when the
// number stands for none.
QString portDescription(const PortMap& names, qint16 number);

} // namespace ql
