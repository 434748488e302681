#include "serial/PortIdentity.h"

#include "serial/PortDevices_win.h"
#include "serial/UsbInstanceId.h"

#include <cfgmgr32.h>

namespace ql {
namespace {

UsbInstanceId usbInstanceId(DEVINST instance)
{
    wchar_t id[MAX_DEVICE_ID_LEN + 1] {};
    if (CM_Get_Device_IDW(instance, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS)
        return {};
    return parseUsbInstanceId(QString::fromWCharArray(id));
}

// The port's own instance id, else its parent's: the USB device of a composite
// device's interface holds the serial number, and a bus driver's port (Moxa and
// the like) has the ids only there. No further up: above are hubs and radios.
void readUsbIds(DEVINST instance, PortIdentity& identity)
{
    UsbInstanceId id = usbInstanceId(instance);
    DEVINST parent = 0;
    if (id.serialNumber.isEmpty() && CM_Get_Parent(&parent, instance, 0) == CR_SUCCESS) {
        const UsbInstanceId above = usbInstanceId(parent);
        if (id.vendorId.isEmpty())
            id = above;
        else if (above.vendorId == id.vendorId && above.productId == id.productId)
            id.serialNumber = above.serialNumber;
    }
    identity.vendorId = id.vendorId;
    identity.productId = id.productId;
    identity.serialNumber = id.serialNumber;
}

} // namespace

PortIdentity portIdentity(const QString& device, const QString&)
{
    PortIdentity identity;
    identity.device = device;
    const QString port = identity.portName().toUpper();
    forEachPortDevice([&](HDEVINFO devices, SP_DEVINFO_DATA& data, const QString& name) {
        if (name != port)
            return true;
        identity.description = deviceText(devices, data, SPDRP_DEVICEDESC);
        identity.driver = deviceText(devices, data, SPDRP_SERVICE);
        const HKEY key = SetupDiOpenDevRegKey(devices, &data, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_QUERY_VALUE);
        if (key != INVALID_HANDLE_VALUE) {
            identity.driverProvider = registryValue(key, L"ProviderName");
            identity.driverVersion = registryValue(key, L"DriverVersion");
            RegCloseKey(key);
        }
        readUsbIds(data.DevInst, identity);
        return false;
    });
    return identity;
}

} // namespace ql
