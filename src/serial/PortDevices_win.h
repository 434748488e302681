#pragma once

#include <QString>

#include <functional>

#include <windows.h>

#include <setupapi.h>

namespace ql {

// A registry text of `bytes` bytes, which need not end in a null and may end in several.
QString registryText(const wchar_t* data, DWORD bytes);
// A text value of a registry key, or empty.
QString registryValue(HKEY key, const wchar_t* name);
// A text property of a device (SPDRP_DEVICEDESC...), or empty.
QString deviceText(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property);

// Calls `visit` for each present device of the ports class that has a port name,
// given upper-case (COM3), until it returns false.
void forEachPortDevice(const std::function<bool(HDEVINFO, SP_DEVINFO_DATA&, const QString&)>& visit);

} // namespace ql
