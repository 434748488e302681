#include "serial/AdapterDescription.h"

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

} // namespace

QString adapterDescription(const QString& systemLocation, const QString& systemRoot)
{
    const QString tty = QFileInfo(systemLocation).fileName();
    // The tty's device is the adapter's port; the USB device with the maker's
    // strings is the first folder above it that has a vendor number.
    QString folder = QFileInfo(systemRoot + QStringLiteral("/class/tty/") + tty + QStringLiteral("/device"))
                         .canonicalFilePath();
    const QString top = QDir(systemRoot).canonicalPath();
    while (!folder.isEmpty() && folder.startsWith(top) && folder != top) {
        if (QFileInfo::exists(folder + QStringLiteral("/idVendor"))) {
            const QString maker = attribute(folder, "manufacturer");
            const QString model = attribute(folder, "product");
            if (maker.isEmpty() || model.startsWith(maker))
                return model;
            return model.isEmpty() ? maker : maker + QLatin1Char(' ') + model;
        }
        folder = QFileInfo(folder).path();
    }
    return {};
}

} // namespace ql
