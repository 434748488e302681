#include "serial/SystemPorts.h"

#include <QHash>

#include <iterator>

#include <windows.h>

#include <initguid.h>

#include <devguid.h>
#include <setupapi.h>

namespace ql {
namespace {

QString registryText(const wchar_t* data, DWORD bytes)
{
    // Registry texts need not end in a null, and may end in several.
    return QString::fromWCharArray(data, static_cast<qsizetype>(bytes / sizeof(wchar_t))).section(QChar(0), 0, 0);
}

QString deviceText(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property)
{
    wchar_t text[256] {};
    DWORD bytes = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(devices, &device, property, nullptr, reinterpret_cast<BYTE*>(text),
                                           sizeof(text) - sizeof(wchar_t), &bytes))
        return {};
    return registryText(text, bytes);
}

// What the installed drivers call each port's device ("USB Serial Port"), by port name.
QHash<QString, QString> driverDescriptions()
{
    QHash<QString, QString> descriptions;
    const HDEVINFO devices = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return descriptions;
    SP_DEVINFO_DATA device {};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        const HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        wchar_t name[64] {};
        DWORD bytes = sizeof(name) - sizeof(wchar_t);
        DWORD type = 0;
        const bool named = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &bytes)
                == ERROR_SUCCESS
            && type == REG_SZ;
        RegCloseKey(key);
        if (!named)
            continue;
        QString description = deviceText(devices, device, SPDRP_DEVICEDESC);
        if (description.isEmpty())
            description = deviceText(devices, device, SPDRP_MFG);
        descriptions.insert(registryText(name, bytes).toUpper(), description);
    }
    SetupDiDestroyDeviceInfoList(devices);
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
