#include "watch/WatchSystem.h"

#include "common/ProcessSignals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>

namespace ql::watch {

WakeHandle::WakeHandle()
    : m_handle(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

WakeHandle::~WakeHandle()
{
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
}

qintptr WakeHandle::handle() const
{
    return m_handle;
}

void WakeHandle::raise()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(static_cast<int>(m_handle), &one, sizeof one);
}

void WakeHandle::clear()
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = ::read(static_cast<int>(m_handle), &count, sizeof count);
}

void WakeHandle::wait(std::optional<std::chrono::milliseconds> limit)
{
    pollfd fd {static_cast<int>(m_handle), POLLIN, 0};
    ::poll(&fd, 1, limit ? static_cast<int>(limit->count()) : -1);
}

struct DeviceChanges::Impl {
    QStringList paths;
    int inotify = -1;
};

DeviceChanges::DeviceChanges(QStringList paths, bool systemDevices)
    : m_impl(std::make_unique<Impl>())
{
    m_impl->paths = std::move(paths);
    if (systemDevices)
        m_impl->paths.append(QStringLiteral("/dev/tty"));
    m_impl->inotify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
}

DeviceChanges::~DeviceChanges()
{
    if (m_impl->inotify >= 0)
        ::close(m_impl->inotify);
}

void DeviceChanges::wait()
{
    // A folder that did not exist at the last wait may now: each path's nearest
    // existing folder is watched afresh. Watching one twice costs nothing.
    for (const QString& path : m_impl->paths) {
        QString folder = QFileInfo(path).absolutePath();
        while (!QFileInfo(folder).isDir() && folder != QDir::rootPath())
            folder = QFileInfo(folder).absolutePath();
        ::inotify_add_watch(m_impl->inotify, QFile::encodeName(folder).constData(),
                            IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF
                                | IN_MOVE_SELF | IN_ONLYDIR);
    }
    pollfd fds[2] = {{m_impl->inotify, POLLIN, 0}, {TerminationSignals::fd(), POLLIN, 0}};
    if (::poll(fds, 2, -1) <= 0 || (fds[0].revents & POLLIN) == 0)
        return;
    // Only that something changed counts: the caller lists the ports again.
    char events[4096];
    while (::read(m_impl->inotify, events, sizeof events) > 0) {
    }
}

bool isReopenSignal(int signal)
{
    return signal == SIGHUP;
}

} // namespace ql::watch
