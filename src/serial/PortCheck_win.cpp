#include "serial/PortCheck.h"

#include "common/SystemText.h"

#include <QRegularExpression>

#include <windows.h>

namespace ql {

PortCheck identifyPort(const PortEntry& entry, const QString&)
{
    PortCheck port;
    port.number = entry.number;
    port.identity = portIdentity(entry.systemName);
    return port;
}

// Windows tells only that the port is taken, not by whom: an open without
// sharing is refused while another program has it.
void checkPortUse(PortCheck& port, const QString&)
{
    const QString& device = port.identity.device;
    // COM10 and above are reached only through the device namespace.
    const QString path = device.contains(QRegularExpression(QStringLiteral("[\\\\/:]"))) ? device
                                                                                        : QStringLiteral("\\\\.\\") + device;
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
        port.holder = PortHolder {0, QStringLiteral("another program")};
        return;
    }
    port.refusal = device + QStringLiteral(": ") + QString::fromStdString(systemText(static_cast<int>(error)));
    port.remedy = {QStringLiteral("plug the adapter in, and see in the Device Manager whether its driver started")};
}

// Nothing on Windows claims serial ports the way brltty and ModemManager do.
SystemPrograms systemPrograms(const QString&)
{
    return {};
}

} // namespace ql
