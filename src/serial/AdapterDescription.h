#pragma once

#include <QString>

namespace ql {

// The maker and model a USB serial adapter gives of itself, such as "FTDI FT232R
// USB UART", for a port the system lists without a description; empty for a port
// that is no USB device. `systemRoot` is where the system's device tree is found.
QString adapterDescription(const QString& systemLocation, const QString& systemRoot = QStringLiteral("/sys"));

} // namespace ql
