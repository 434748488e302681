#include "serial/PortIdentity.h"

#include <QFileInfo>

namespace ql {

QString PortIdentity::portName() const
{
    // COM3 as it stands; /dev/ttyUSB0 by its last part.
    return QFileInfo(device).fileName();
}

QString PortIdentity::stableIdentity() const
{
    if (!byId.isEmpty())
        return QFileInfo(byId).fileName();
    if (vendorId.isEmpty())
        return {};
    return QStringLiteral("%1:%2:%3").arg(vendorId, productId, serialNumber);
}

QString PortIdentity::serialOrPortName() const
{
    return serialNumber.isEmpty() ? portName() : serialNumber;
}

QString PortIdentity::adapterName() const
{
    if (manufacturer.isEmpty() || product.startsWith(manufacturer))
        return product;
    return product.isEmpty() ? manufacturer : manufacturer + QLatin1Char(' ') + product;
}

} // namespace ql
