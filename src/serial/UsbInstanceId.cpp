#include "serial/UsbInstanceId.h"

#include <QRegularExpression>
#include <QStringList>

namespace ql {

UsbInstanceId parseUsbInstanceId(const QString& instanceId)
{
    const QStringList parts = instanceId.split(QLatin1Char('\\'));
    if (parts.size() != 3)
        return {};
    static const QRegularExpression ids(QStringLiteral("^VID_([0-9A-F]{4})[&+]PID_([0-9A-F]{4})(?:[&+](.*))?$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = ids.match(parts[1]);
    if (!match.hasMatch())
        return {};
    UsbInstanceId id {match.captured(1).toLower(), match.captured(2).toLower(), {}};
    if (parts[0].compare(QLatin1String("FTDIBUS"), Qt::CaseInsensitive) == 0) {
        // The FTDI bus driver appends the channel's letter (A, B...) to the serial number.
        const QString serial = match.captured(3);
        if (serial.size() > 1 && !serial.contains(QLatin1Char('+')))
            id.serialNumber = serial.chopped(1);
    } else if (match.captured(3).isEmpty() && !parts[2].contains(QLatin1Char('&'))) {
        // An interface of a composite device (&MI_00) has no serial number of its
        // own, and a made-up instance (5&2a3b4c5&0&1) always holds an ampersand.
        id.serialNumber = parts[2];
    }
    return id;
}

} // namespace ql
