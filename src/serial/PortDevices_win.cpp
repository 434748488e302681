#include "serial/PortDevices_win.h"

#include <initguid.h>

#include <devguid.h>

namespace ql {

QString registryText(const wchar_t* data, DWORD bytes)
{
    return QString::fromWCharArray(data, static_cast<qsizetype>(bytes / sizeof(wchar_t))).section(QChar(0), 0, 0);
}

QString registryValue(HKEY key, const wchar_t* name)
{
    wchar_t text[256] {};
    DWORD bytes = sizeof(text) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) != ERROR_SUCCESS
        || type != REG_SZ)
        return {};
    return registryText(text, bytes);
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

void forEachPortDevice(const std::function<bool(HDEVINFO, SP_DEVINFO_DATA&, const QString&)>& visit)
{
    const HDEVINFO devices = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device {};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        const HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        const QString port = registryValue(key, L"PortName").toUpper();
        RegCloseKey(key);
        if (!port.isEmpty() && !visit(devices, device, port))
            break;
    }
    SetupDiDestroyDeviceInfoList(devices);
}

} // namespace ql
