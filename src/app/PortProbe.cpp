#include "app/PortProbe.h"

#include "common/Failure.h"
#include "eventlog/Messages.h"
#include "serial/SerialControl.h"

#include <QStringList>

#include <cerrno>

namespace ql {

namespace {

QString deviceName(const PortMap& names, qint16 number)
{
    const std::optional<PortEntry> entry = names.entry(number);
    return entry ? entry->systemName : QStringLiteral("port %1").arg(number);
}

} // namespace

PortProbeResult ProbePorts(SerialControl& control, const PortMap& names)
{
    PortProbeResult result;
    QStringList denied;
    QStringList busy;
    for (qint16 number = PortMap::kFirstPort; number <= PortMap::kLastPort; ++number) {
        bool opened = false;
        try {
            control.setCommPort(number);
            control.setPortOpen(true);
            opened = control.PortOpen();
        } catch (const Failure& failure) {
            if (failure.number() == EACCES || failure.number() == EPERM)
                denied.append(deviceName(names, number));
            else if (failure.number() == EBUSY)
                busy.append(deviceName(names, number));
            continue;
        }
        if (!opened)
            continue;
        try {
            control.setPortOpen(false);
        } catch (const Failure&) {
            // It opened, so it is usable; the next open closes it first.
        }
        result.opened.append(number);
    }
    try {
        if (control.PortOpen())
            control.setPortOpen(false);
    } catch (const Failure&) {
        // A port that will not close is closed by the next open.
    }

    // Permission first: it is the one the operator can mend.
    if (!result.opened.isEmpty())
        return result;
    if (!denied.isEmpty())
        result.reason = msg::portsPermissionDenied(denied);
    else if (!busy.isEmpty())
        result.reason = msg::portsInUse(busy);
    else
        result.reason = msg::kNoSerialDevice;
    return result;
}

QString portDescription(const PortMap& names, qint16 number)
{
    const std::optional<PortEntry> entry = names.entry(number);
    if (!entry)
        return {};
    if (entry->description.isEmpty())
        return entry->systemName;
    return entry->systemName + QStringLiteral(" \u2014 ") + entry->description;
}

} // namespace ql
