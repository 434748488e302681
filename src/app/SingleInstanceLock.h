#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace ql {

// A lock held for the life of the process, so that a second copy of the program
// can tell that one is already running. A lock left by a copy that died does not
// count: the lock file names its owner, and a dead owner's lock is taken over.
class SingleInstanceLock {
public:
    // The lock lives in the user's runtime directory, or the temporary directory.
    SingleInstanceLock();
    explicit SingleInstanceLock(const QString& lockPath);

    // True when this process now holds the lock (no other copy is running).
    bool tryAcquire();

    const QString& path() const { return m_path; }

    static QString defaultPath();

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace ql
