#include "app/SingleInstanceLock.h"

#include "common/SystemText.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ql {
namespace {

const QString kLockName = QStringLiteral("quorvalink.lock");

// A folder of this user's own without any of the permissions in `deniedToOthers`:
// nobody else can plant or swap its files.
bool isOwnFolder(const QByteArray& path, mode_t deniedToOthers)
{
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        return false;
    return (info.st_mode & deniedToOthers) == 0;
}

} // namespace

SingleInstanceLock::SingleInstanceLock() : SingleInstanceLock(defaultPath()) {}

SingleInstanceLock::SingleInstanceLock(const QString& lockPath) : m_path(lockPath) {}

SingleInstanceLock::~SingleInstanceLock()
{
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
}

QString SingleInstanceLock::defaultPath()
{
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QFileInfo(runtimeDir).isAbsolute() && isOwnFolder(QFile::encodeName(runtimeDir), S_IRWXG | S_IRWXO))
        return runtimeDir + QLatin1Char('/') + kLockName;
    // Not the temporary folder of $TMPDIR: two logins of one user must meet.
    return QStringLiteral("/tmp/quorvalink-%1/").arg(::getuid()) + kLockName;
}

SingleInstanceLock::Outcome SingleInstanceLock::tryAcquire()
{
    if (m_handle >= 0)
        return Outcome::Acquired;
    const QString folder = QFileInfo(m_path).path();
    const QByteArray folderName = QFile::encodeName(folder);
    if (::mkdir(folderName.constData(), 0700) != 0 && errno != EEXIST) {
        m_failure = folder + QStringLiteral(": ") + QString::fromStdString(systemText(errno));
        return Outcome::Unavailable;
    }
    if (!isOwnFolder(folderName, S_IWGRP | S_IWOTH)) {
        m_failure = folder + QStringLiteral(": not a folder of this user's own");
        return Outcome::Unavailable;
    }

    const QByteArray name = QFile::encodeName(m_path);
    int fd = ::open(name.constData(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EACCES) {
        // A file of ours in our own folder that we may not read: take it over.
        struct stat info {};
        if (::lstat(name.constData(), &info) == 0 && S_ISREG(info.st_mode) && ::chmod(name.constData(), 0600) == 0)
            fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        else
            errno = EACCES;
    }
    if (fd < 0) {
        m_failure = m_path + QStringLiteral(": ") + QString::fromStdString(systemText(errno));
        return Outcome::Unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            return Outcome::HeldElsewhere;
        m_failure = m_path + QStringLiteral(": ") + QString::fromStdString(systemText(error));
        return Outcome::Unavailable;
    }
    m_handle = fd;
    return Outcome::Acquired;
}

} // namespace ql
