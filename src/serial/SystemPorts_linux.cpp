#include "serial/SystemPorts.h"

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
        ports.append(SystemPort {info.systemLocation(), description});
    }
    return ports;
}

} // namespace ql
