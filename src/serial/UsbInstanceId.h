#pragma once

#include <QString>

namespace ql {

// What a Windows device instance id tells of a USB adapter. Fields it does not
// carry stay empty: a device without a serial number gets an id Windows made up.
struct UsbInstanceId {
    QString vendorId;  // four lower-case hex digits
    QString productId;
    QString serialNumber;
};

// Reads USB\VID_0403&PID_6001\A12345 and FTDIBUS\VID_0403+PID_6001+A12345A\0000.
// An id without a vendor and product (ACPI\PNP0501\1) gives an empty result.
UsbInstanceId parseUsbInstanceId(const QString& instanceId);

} // namespace ql
