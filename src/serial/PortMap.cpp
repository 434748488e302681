#include "serial/PortMap.h"

#include "serial/SystemPorts.h"

#include <algorithm>
#include <array>

namespace ql {

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The n of a port the system calls COMn (as \\.\COMn or plain), or 0.
qint16 comNumber(const QString& location)
{
    QStringView name(location);
    if (name.startsWith(QLatin1String("\\\\.\\")))
        name = name.mid(4);
    if (!name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) || name.size() < 4 || name.size() > 5)
        return 0;
    qint16 number = 0;
    for (const QChar c : name.mid(3)) {
        if (!isDigit(c))
            return 0;
        number = static_cast<qint16>(number * 10 + (c.unicode() - '0'));
    }
    return number;
}

} // namespace

PortMap PortMap::ofDevice(const QString& path)
{
    PortMap map;
    map.m_entries.append(PortEntry {kFirstPort, path, {}});
    return map;
}

bool naturalLess(const QString& left, const QString& right)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < left.size() && j < right.size()) {
        if (isDigit(left[i]) && isDigit(right[j])) {
            qsizetype endLeft = i;
            while (endLeft < left.size() && isDigit(left[endLeft]))
                ++endLeft;
            qsizetype endRight = j;
            while (endRight < right.size() && isDigit(right[endRight]))
                ++endRight;
            // Leading zeros aside, a longer run of digits is the larger number.
            qsizetype startLeft = i;
            while (startLeft + 1 < endLeft && left[startLeft] == QLatin1Char('0'))
                ++startLeft;
            qsizetype startRight = j;
            while (startRight + 1 < endRight && right[startRight] == QLatin1Char('0'))
                ++startRight;
            const qsizetype lengthLeft = endLeft - startLeft;
            const qsizetype lengthRight = endRight - startRight;
            if (lengthLeft != lengthRight)
                return lengthLeft < lengthRight;
            const int order = QStringView(left).mid(startLeft, lengthLeft).compare(
                QStringView(right).mid(startRight, lengthRight));
            if (order != 0)
                return order < 0;
            i = endLeft;
            j = endRight;
        } else {
            if (left[i] != right[j])
                return left[i] < right[j];
            ++i;
            ++j;
        }
    }
    if ((left.size() - i) != (right.size() - j))
        return (left.size() - i) < (right.size() - j);
    // Equal as numbers ("ttyS01" and "ttyS1"): plain order keeps the sort stable.
    return left < right;
}

QString PortMap::variableName(qint16 number)
{
    return QStringLiteral("QUORVALINK_COM%1").arg(number);
}

PortMap PortMap::fromRule(const QProcessEnvironment& environment, QList<SystemPort> systemPorts)
{
    std::array<PortEntry, kLastPort + 1> byNumber {};
    QList<QString> named;
    for (qint16 number = kFirstPort; number <= kLastPort; ++number) {
        const QString device = environment.value(variableName(number)).trimmed();
        if (device.isEmpty())
            continue;
        byNumber[number] = PortEntry {number, device, QStringLiteral("set by %1").arg(variableName(number))};
        named.append(device);
    }

    std::sort(systemPorts.begin(), systemPorts.end(), [](const SystemPort& a, const SystemPort& b) {
        return naturalLess(a.systemLocation, b.systemLocation);
    });
    // COMn is port n, as its users have always known it, unless a variable took n.
    for (const SystemPort& port : systemPorts) {
        const qint16 number = comNumber(port.systemLocation);
        if (number < kFirstPort || number > kLastPort || !byNumber[number].systemName.isEmpty()
            || named.contains(port.systemLocation))
            continue;
        byNumber[number] = PortEntry {number, port.systemLocation, port.description};
        named.append(port.systemLocation);
    }
    qint16 next = kFirstPort;
    QString previous;
    for (const SystemPort& port : systemPorts) {
        // A device already given a number, or listed twice, keeps one number.
        if (port.systemLocation.isEmpty() || named.contains(port.systemLocation) || port.systemLocation == previous)
            continue;
        previous = port.systemLocation;
        while (next <= kLastPort && !byNumber[next].systemName.isEmpty())
            ++next;
        if (next > kLastPort)
            break;
        byNumber[next] = PortEntry {next, port.systemLocation, port.description};
    }

    PortMap map;
    for (const PortEntry& slot : byNumber) {
        if (!slot.systemName.isEmpty())
            map.m_entries.append(slot);
    }
    return map;
}

PortMap PortMap::fromSystem()
{
    return fromRule(QProcessEnvironment::systemEnvironment(), systemPorts());
}

std::optional<PortEntry> PortMap::entry(qint16 number) const
{
    for (const PortEntry& candidate : m_entries) {
        if (candidate.number == number)
            return candidate;
    }
    return std::nullopt;
}

} // namespace ql
