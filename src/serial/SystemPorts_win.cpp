#include "serial/SystemPorts.h"

#include "serial/PortDevices_win.h"

#include <QHash>

#include <iterator>

namespace ql {
namespace {

// What the installed drivers call each port's device ("USB Serial Port"), by port name.
QHash<QString, QString> driverDescriptions()
{
    QHash<QString, QString> descriptions;
    forEachPortDevice([&descriptions](HDEVINFO devices, SP_DEVINFO_DATA& device, const QString& port) {
        QString description = deviceText(devices, device, SPDRP_DEVICEDESC);
        if (description.isEmpty())
            description = deviceText(devices, device, SPDRP_MFG);
        descriptions.insert(port, description);
        return true;
    });
    return descriptions;
}

} // namespace

// Every port a driver has made is listed under SERIALCOMM, USB adapters included,
// as a value named after the kernel's device whose data is the port's name.
QList<SystemPort> systemPorts()
{
    QList<SystemPort> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key)
        != ERROR_SUCCESS)
        return ports;
    const QHash<QString, QString> descriptions = driverDescriptions();
    for (DWORD index = 0;; ++index) {
        wchar_t device[256] {};
        DWORD deviceLength = static_cast<DWORD>(std::size(device));
        wchar_t name[64] {};
        DWORD bytes = sizeof(name) - sizeof(wchar_t);
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, index, device, &deviceLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(name), &bytes);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        const QString port = registryText(name, bytes).trimmed().toUpper();
        if (port.isEmpty())
            continue;
        // Without a driver's word, the kernel's device name still tells the driver.
        const QString description = descriptions.value(port);
        ports.append(SystemPort {port, description.isEmpty()
                                           ? QString::fromWCharArray(device, static_cast<qsizetype>(deviceLength))
                                           : description});
    }
    RegCloseKey(key);
    return ports;
}

} // namespace ql
