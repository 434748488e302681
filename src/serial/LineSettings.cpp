#include "serial/LineSettings.h"

#include "common/Failure.h"

#include <QString>
#include <QStringList>

#include <cerrno>

namespace ql {

namespace {

[[noreturn]] void refuse(const QString& text, const QString& reason)
{
    throw Failure(EINVAL, QStringLiteral("Invalid line settings \"%1\": %2").arg(text, reason));
}

bool allDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

} // namespace

LineSettings LineSettings::parse(const QString& text)
{
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != 4)
        refuse(text, QStringLiteral("expected baud,parity,data bits,stop bits"));

    LineSettings settings;

    const QString baud = fields[0].trimmed();
    bool ok = false;
    const qulonglong baudValue = baud.toULongLong(&ok);
    if (!allDigits(baud) || !ok || baudValue == 0 || baudValue > 0xFFFFFFFFULL)
        refuse(text, QStringLiteral("the baud rate \"%1\" is not a positive whole number").arg(baud));
    settings.baud = static_cast<std::uint32_t>(baudValue);

    const QString parity = fields[1].trimmed().toUpper();
    if (parity == QLatin1String("N"))
        settings.parity = Parity::None;
    else if (parity == QLatin1String("E"))
        settings.parity = Parity::Even;
    else if (parity == QLatin1String("O"))
        settings.parity = Parity::Odd;
    else
        refuse(text, QStringLiteral("the parity \"%1\" is not N, E or O").arg(fields[1].trimmed()));

    const QString data = fields[2].trimmed();
    if (data.size() != 1 || data[0] < QLatin1Char('5') || data[0] > QLatin1Char('8'))
        refuse(text, QStringLiteral("the data bits \"%1\" are not 5, 6, 7 or 8").arg(data));
    settings.dataBits = data[0].unicode() - '0';

    const QString stop = fields[3].trimmed();
    if (stop == QLatin1String("1"))
        settings.stopBits = StopBits::One;
    else if (stop == QLatin1String("1.5"))
        settings.stopBits = StopBits::OneAndHalf;
    else if (stop == QLatin1String("2"))
        settings.stopBits = StopBits::Two;
    else
        refuse(text, QStringLiteral("the stop bits \"%1\" are not 1, 1.5 or 2").arg(stop));

    if (settings.stopBits == StopBits::OneAndHalf && settings.dataBits != 5)
        refuse(text, QStringLiteral("1.5 stop bits need 5 data bits"));
    // UARTs send 1.5 stop bits when asked for 2 with 5 data bits.
    if (settings.stopBits == StopBits::Two && settings.dataBits == 5)
        refuse(text, QStringLiteral("2 stop bits need 6 to 8 data bits"));

    return settings;
}

} // namespace ql
