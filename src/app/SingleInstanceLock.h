#pragma once

#include <QString>

#include <cstdint>

namespace ql {

// A lock held for the life of the process, so that a second copy of the program
// can tell that one is already running. Only a living copy of the same user holds
// it: the system lets go of it when its owner ends, however it ends, so a file
// left behind (empty, garbage, or an owner gone) never blocks a start.
class SingleInstanceLock {
public:
    enum class Outcome {
        Acquired,
        // Another living copy holds it.
        HeldElsewhere,
        // The lock could not be made at all; failure() says why.
        Unavailable,
    };

    // The lock at defaultPath().
    SingleInstanceLock();
    explicit SingleInstanceLock(const QString& lockPath);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // Its folder is made if missing, and must belong to this user and be closed
    // to others; the lock file itself is never a symbolic link.
    Outcome tryAcquire();

    const QString& path() const { return m_path; }
    const QString& failure() const { return m_failure; }

    // One place per user id: the user's runtime folder when it is a private one,
    // else a folder of the user's own in the shared temporary folder.
    static QString defaultPath();

private:
    QString m_path;
    QString m_failure;
    // The open lock file: a descriptor or a handle, as the system has it.
    std::intptr_t m_handle = -1;
};

} // namespace ql
