#pragma once

#include <QString>

#include <optional>

namespace ql {

// What a serial port is, as the system describes it: the adapter behind it and
// the names that stay the same when it is plugged into another socket. Fields the
// system does not give stay empty.
struct PortIdentity {
    QString device;     // /dev/ttyUSB0, COM3
    QString byId;       // the /dev/serial/by-id link to the device
    QString usbPath;    // where on the USB buses the adapter sits, such as 1-2.3:1.0
    QString driver;     // ftdi_sio, cp210x, ch341, pl2303, cdc_acm, serial8250; the driver's name on Windows
    QString vendorId;   // four lower-case hex digits
    QString productId;
    QString manufacturer;
    QString product;
    QString serialNumber;
    std::optional<int> latencyTimerMs; // an FTDI adapter's
    // Windows: the device's description, and its driver's provider and version.
    QString description;
    QString driverProvider;
    QString driverVersion;

    // The port's name alone: ttyUSB0, COM3.
    QString portName() const;
    // The name that survives replugging: the by-id link's name, else
    // VID:PID:serial, else empty.
    QString stableIdentity() const;
    // The adapter's serial number, else the port's name.
    QString serialOrPortName() const;
    // The maker and model the adapter gives of itself, such as "FTDI FT232R USB
    // UART"; empty for a port that is no USB device.
    QString adapterName() const;
};

// Reads the identity of the port at `device`. On Linux, the system's folders are
// looked up under `root` (sys/ and dev/serial/by-id), so that a test can give a
// tree of its own; Windows reads its device registry and ignores it.
PortIdentity portIdentity(const QString& device, const QString& root = QStringLiteral("/"));

} // namespace ql
