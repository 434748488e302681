#include "app/PortProbe.h"

#include "common/Failure.h"
#include "eventlog/Messages.h"
#include "serial/SerialControl.h"

#include <QMap>

#include <cerrno>

namespace ql {

namespace {

QString deviceName(const PortMap& names, qint16 number)
{
    const std::optional<PortEntry> entry = names.entry(number);
    return entry ? entry->systemName : QStringLiteral("port %1").arg(number);
}

struct Refusal {
    QString device;
    QString why; // the system's reason
};

// The join hint for each group that would let the process in, then each other
// refusal with its reason and who may open the device.
QStringList permissionReasons(const QList<Refusal>& denied, const AccessLookup& lookup)
{
    const std::optional<ProcessIdentity> process = lookup.process();
    QMap<QString, QStringList> joins;
    QStringList others;
    for (const Refusal& refusal : denied) {
        const std::optional<DeviceAccess> device = lookup.device(refusal.device);
        if (device && process && joiningGroupAdmits(*device, *process))
            joins[device->groupName].append(refusal.device);
        else if (device)
            others.append(msg::portRefused(refusal.why,
                                           msg::deviceOwnership(device->ownerName, device->groupName, device->mode)));
        else
            others.append(msg::portRefused(refusal.why, {}));
    }
    QStringList reasons;
    for (auto group = joins.cbegin(); group != joins.cend(); ++group)
        reasons.append(msg::portsPermissionDenied(group.value(), group.key()));
    return reasons + others;
}

} // namespace

PortProbeResult ProbePorts(SerialControl& control, const PortMap& names, const AccessLookup& access)
{
    PortProbeResult result;
    QList<Refusal> denied;
    QStringList busy;
    for (qint16 number = PortMap::kFirstPort; number <= PortMap::kLastPort; ++number) {
        bool opened = false;
        try {
            control.setCommPort(number);
            control.setPortOpen(true);
            opened = control.PortOpen();
        } catch (const Failure& failure) {
            if (failure.number() == EACCES || failure.number() == EPERM)
                denied.append({deviceName(names, number), failure.description()});
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
        result.reasons = permissionReasons(denied, access);
    else if (!busy.isEmpty())
        result.reasons = QStringList {msg::portsInUse(busy)};
    else
        result.reasons = QStringList {msg::kNoSerialDevice};
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

QString portToolTip(const PortMap& names, const PortCheck& port, const QList<PortWarning>& warnings)
{
    QStringList lines {portDescription(names, port.number)};
    if (!port.identity.device.isEmpty()) {
        lines += identityLines(port.identity);
        for (const PortWarning& warning : warningsFor(warnings, port.identity.device))
            lines.append(warningText(warning));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace ql
