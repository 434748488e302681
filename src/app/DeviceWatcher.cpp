#include "app/DeviceWatcher.h"

#include <QDir>

namespace ql {

DeviceWatcher::DeviceWatcher(const QString& directory, QObject* parent) : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &DeviceWatcher::devicesChanged);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_settle, qOverload<>(&QTimer::start));
    if (QDir(directory).exists())
        m_watcher.addPath(directory);
}

} // namespace ql
