#include "serial/PortIdentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ql {

namespace {

QString attribute(const QString& folder, const char* name)
{
    QFile file(folder + QLatin1Char('/') + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(256)).trimmed();
}

// The driver of the hardware behind the port. Since Linux 6.5 a serial port's
// device sits under two of the serial core's own ("port", "ctrl"), which say
// nothing of the hardware.
QString hardwareDriver(QString folder, const QString& top)
{
    while (!top.isEmpty() && folder.startsWith(top) && folder != top) {
        const QString driver = QFileInfo(folder + QStringLiteral("/driver")).canonicalFilePath();
        if (!driver.contains(QLatin1String("/bus/serial-base/")))
            return driver;
        folder = QFileInfo(folder).path();
    }
    return {};
}

} // namespace

PortIdentity portIdentity(const QString& device, const QString& root)
{
    PortIdentity identity;
    identity.device = device;
    // A link such as /dev/serial/by-id/... stands for the tty it leads to.
    const QFileInfo file(root + device);
    const QString tty = file.isSymLink() ? QFileInfo(file.canonicalFilePath()).fileName() : identity.portName();
    const QString top = QDir(root + QStringLiteral("/sys")).canonicalPath();
    const QString portFolder
        = QFileInfo(root + QStringLiteral("/sys/class/tty/") + tty + QStringLiteral("/device")).canonicalFilePath();
    if (portFolder.isEmpty())
        return identity;
    identity.driver = QFileInfo(hardwareDriver(portFolder, top)).fileName();
    // The 8250 UART driver's PNP and PCI parts register as "serial"; the driver
    // is known by its own name.
    if (identity.driver == QLatin1String("serial"))
        identity.driver = QStringLiteral("serial8250");
    bool ok = false;
    const int latency = attribute(portFolder, "latency_timer").toInt(&ok);
    if (ok)
        identity.latencyTimerMs = latency;

    // The USB interface is the port's folder (CDC-ACM) or the one above it (a
    // USB serial driver's port); the device with the maker's strings is above that.
    QString folder = portFolder;
    QString below;
    while (!top.isEmpty() && folder.startsWith(top) && folder != top) {
        if (QFileInfo::exists(folder + QStringLiteral("/idVendor"))) {
            identity.usbPath = QFileInfo(below).fileName();
            identity.vendorId = attribute(folder, "idVendor").toLower();
            identity.productId = attribute(folder, "idProduct").toLower();
            identity.manufacturer = attribute(folder, "manufacturer");
            identity.product = attribute(folder, "product");
            identity.serialNumber = attribute(folder, "serial");
            break;
        }
        below = folder;
        folder = QFileInfo(folder).path();
    }

    const QDir byId(root + QStringLiteral("/dev/serial/by-id"));
    const QFileInfoList links = byId.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& link : links) {
        if (link.isSymLink() && QFileInfo(link.symLinkTarget()).fileName() == tty) {
            identity.byId = QStringLiteral("/dev/serial/by-id/") + link.fileName();
            break;
        }
    }
    return identity;
}

} // namespace ql
