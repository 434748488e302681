#include "serial/SystemPorts.h"

#include "serial/PortIdentity.h"

#include <QSerialPortInfo>

namespace ql {

QList<SystemPort> systemPorts()
{
    QList<SystemPort> ports;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        QString description = info.description();
        if (description.isEmpty())
            description = info.manufacturer();
        // Without udev, Qt knows nothing of an adapter; its own strings still name it.
        if (description.isEmpty())
            description = portIdentity(info.systemLocation()).adapterName();
        ports.append(SystemPort {info.systemLocation(), description});
    }
    return ports;
}

} // namespace ql
