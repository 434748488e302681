#pragma once

#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace ql {

// One numbered port: the number the operator picks and the device it stands for.
struct PortEntry {
    qint16 number = 0;
    QString systemName;  // the device path, such as /dev/ttyUSB0
    QString description; // what the system says of the device, for a tooltip
};

// A serial port as the system lists it.
struct SystemPort {
    QString systemLocation;
    QString description;
};

// The port numbers 1 to 99 and the devices behind them. QUORVALINK_COM<n> names
// the device of port n; a port the system calls COMn is port n; the system's other
// serial ports take the free numbers, lowest first, in natural order of their paths.
class PortMap {
public:
    static constexpr qint16 kFirstPort = 1;
    static constexpr qint16 kLastPort = 99;

    PortMap() = default;

    // The rule itself, apart from the running system.
    static PortMap fromRule(const QProcessEnvironment& environment, QList<SystemPort> systemPorts);
    // The rule applied to this process's environment and the system's ports.
    static PortMap fromSystem();
    // One device standing as port 1, for a device named rather than numbered.
    static PortMap ofDevice(const QString& path);

    static QString variableName(qint16 number);

    std::optional<PortEntry> entry(qint16 number) const;
    const QList<PortEntry>& entries() const { return m_entries; }

private:
    QList<PortEntry> m_entries; // ascending by number
};

// Compares texts with their digit runs as numbers, so that ttyS2 comes before ttyS10.
bool naturalLess(const QString& left, const QString& right);

} // namespace ql
