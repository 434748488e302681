#include "app/SingleInstanceLock.h"

#include <QDir>

namespace ql {

SingleInstanceLock::SingleInstanceLock() : SingleInstanceLock(defaultPath()) {}

SingleInstanceLock::SingleInstanceLock(const QString& lockPath)
    : m_path(lockPath), m_lock(std::make_unique<QLockFile>(lockPath))
{
    // A running copy holds the lock however long it runs; only a dead owner frees it.
    m_lock->setStaleLockTime(0);
}

bool SingleInstanceLock::tryAcquire()
{
    return m_lock->isLocked() || m_lock->tryLock(0);
}

QString SingleInstanceLock::defaultPath()
{
    // One lock per user: the runtime directory is the user's own, the temporary
    // directory is shared, so the name carries the user there.
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty() && QDir(runtimeDir).exists())
        return QDir(runtimeDir).filePath(QStringLiteral("quorvalink.lock"));
    QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    return QDir(QDir::tempPath()).filePath(QStringLiteral("quorvalink-%1.lock").arg(user));
}

} // namespace ql
