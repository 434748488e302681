#include "hhcsim/DevicePort.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace ql::hhcsim {

namespace {

[[noreturn]] void throwErrno(const QString& what)
{
    throw std::system_error(errno, std::generic_category(), what.toStdString());
}

} // namespace

DevicePort::DevicePort()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0)
        throwErrno(QStringLiteral("cannot make a pseudo-terminal"));
    try {
        if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            throwErrno(QStringLiteral("cannot unlock the pseudo-terminal"));
        char name[128] = {};
        if (::ptsname_r(m_master, name, sizeof name) != 0)
            throwErrno(QStringLiteral("cannot name the pseudo-terminal"));
        m_slavePath = QString::fromLocal8Bit(name);

        // Raw mode is kept by the pair after this descriptor closes. The first open
        // and close also make the master report a hang-up until the PC opens.
        const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave < 0)
            throwErrno(QStringLiteral("cannot open %1").arg(m_slavePath));
        termios tio {};
        const bool raw = ::tcgetattr(slave, &tio) == 0 && (::cfmakeraw(&tio), ::tcsetattr(slave, TCSANOW, &tio) == 0);
        const int rawErrno = errno;
        ::close(slave);
        if (!raw) {
            errno = rawErrno;
            throwErrno(QStringLiteral("cannot set raw mode on %1").arg(m_slavePath));
        }

        m_watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_watch < 0 || ::inotify_add_watch(m_watch, name, IN_OPEN | IN_CLOSE) < 0)
            throwErrno(QStringLiteral("cannot watch %1").arg(m_slavePath));
    } catch (...) {
        if (m_watch >= 0)
            ::close(m_watch);
        ::close(m_master);
        throw;
    }
}

DevicePort::DevicePort(const QString& linePath)
    : m_pcOpens(1)
    , m_slavePath(linePath)
{
    const QByteArray name = QFile::encodeName(linePath);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        throwErrno(QStringLiteral("cannot find the line %1").arg(linePath));
    if (S_ISSOCK(st.st_mode)) {
        sockaddr_un address {};
        if (static_cast<size_t>(name.size()) >= sizeof address.sun_path) {
            errno = ENAMETOOLONG;
            throwErrno(QStringLiteral("cannot connect to %1").arg(linePath));
        }
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
        m_master = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (m_master < 0)
            throwErrno(QStringLiteral("cannot make a socket"));
        // A local connection is made at once or refused; it never waits.
        if (::connect(m_master, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            const int connectErrno = errno;
            hangUp();
            errno = connectErrno;
            throwErrno(QStringLiteral("cannot connect to %1").arg(linePath));
        }
        return;
    }
    m_master = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0)
        throwErrno(QStringLiteral("cannot open %1").arg(linePath));
    // What reached the line before the device was there is not for this device.
    ::tcflush(m_master, TCIFLUSH);
    termios tio {};
    if (::tcgetattr(m_master, &tio) != 0 || (::cfmakeraw(&tio), ::tcsetattr(m_master, TCSANOW, &tio) != 0)) {
        const int rawErrno = errno;
        hangUp();
        errno = rawErrno;
        throwErrno(QStringLiteral("cannot set raw mode on %1").arg(linePath));
    }
}

DevicePort::~DevicePort()
{
    hangUp();
    if (m_watch >= 0)
        ::close(m_watch);
}

DevicePort::WatchNews DevicePort::takeWatchNews()
{
    WatchNews news;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_watch, buffer, sizeof buffer);
        if (n <= 0)
            return news;
        for (ssize_t at = 0; at < n;) {
            inotify_event event {};
            std::memcpy(&event, buffer + at, sizeof event);
            at += static_cast<ssize_t>(sizeof event + event.len);
            if ((event.mask & IN_Q_OVERFLOW) != 0) {
                // Events were lost: the master's hang-up state says whether anyone holds the port.
                pollfd pfd {m_master, 0, 0};
                ::poll(&pfd, 1, 0);
                const bool open = (pfd.revents & (POLLHUP | POLLERR)) == 0;
                news.lastClosed = news.lastClosed || (m_pcOpens > 0 && !open);
                m_pcOpens = open ? 1 : 0;
            } else if ((event.mask & IN_OPEN) != 0) {
                news.opened = true;
                ++m_pcOpens;
            } else if ((event.mask & IN_CLOSE) != 0 && m_pcOpens > 0) {
                if (--m_pcOpens == 0)
                    news.lastClosed = true;
            }
        }
    }
}

void DevicePort::discardOutput()
{
    // On the master, an output flush empties the PC's input queue.
    if (m_master >= 0)
        ::tcflush(m_master, TCOFLUSH);
}

void DevicePort::discardInput()
{
    if (m_master < 0)
        return;
    char buffer[4096];
    while (::read(m_master, buffer, sizeof buffer) > 0) {
    }
}

void DevicePort::hangUp()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

void publishLink(const QString& link, const QString& target)
{
    const QByteArray linkName = QFile::encodeName(link);
    struct stat st {};
    if (::lstat(linkName.constData(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        errno = EEXIST;
        throwErrno(QStringLiteral("%1 exists and is not a symbolic link; not replacing it").arg(link));
    }
    const QByteArray temporary = linkName + ".new-" + QByteArray::number(::getpid());
    ::unlink(temporary.constData());
    if (::symlink(QFile::encodeName(target).constData(), temporary.constData()) != 0)
        throwErrno(QStringLiteral("cannot create the link %1").arg(link));
    if (::rename(temporary.constData(), linkName.constData()) != 0) {
        const int renameErrno = errno;
        ::unlink(temporary.constData());
        errno = renameErrno;
        throwErrno(QStringLiteral("cannot create the link %1").arg(link));
    }
}

void removeLinkTo(const QString& link, const QString& target)
{
    const QByteArray linkName = QFile::encodeName(link);
    char buffer[4096];
    const ssize_t n = ::readlink(linkName.constData(), buffer, sizeof buffer);
    if (n > 0 && QByteArray(buffer, n) == QFile::encodeName(target))
        ::unlink(linkName.constData());
}

} // namespace ql::hhcsim
