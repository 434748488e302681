#include "serial/SerialDevice.h"

#include "serial/DeviceHolders.h"

// termios2 rather than <termios.h>: it takes any baud rate the driver accepts.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <memory>
#include <optional>

namespace ql {

const int SerialDevice::kStalledError = EIO;

namespace {

using Clock = std::chrono::steady_clock;

// The longest a count of a full output queue waits for room.
constexpr timespec kFullQueueWait {0, 250'000};
// How often a blocking wait looks whether the system has room for output it refused.
constexpr auto kBacklogLook = std::chrono::milliseconds(2);
// How long a wait for input that has seen some sleeps on to gather more: a paced
// line then costs one wake-up per few dozen characters, not one per character.
constexpr auto kInputGathering = std::chrono::milliseconds(4);
// The device numbers of pseudo-terminals' PC sides: Unix98 (/dev/pts) and the old BSD kind.
constexpr unsigned kFirstPtySlaveMajor = 136;
constexpr unsigned kLastPtySlaveMajor = 143;
constexpr unsigned kBsdPtySlaveMajor = 3;

int retryIoctl(int fd, unsigned long request, void* argument)
{
    int result = 0;
    do {
        result = ::ioctl(fd, request, argument);
    } while (result < 0 && errno == EINTR);
    return result;
}

void setLine(termios2& tio, const LineSettings& settings)
{
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON
                                          | IXOFF | IXANY | INPCK | IUCLC | IMAXBEL);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN | ECHOE | ECHOK);
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT) | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB
                                          | CRTSCTS);
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT) | CREAD | CLOCAL;
    tio.c_ispeed = settings.baud;
    tio.c_ospeed = settings.baud;
    switch (settings.dataBits) {
    case 5: tio.c_cflag |= CS5; break;
    case 6: tio.c_cflag |= CS6; break;
    case 7: tio.c_cflag |= CS7; break;
    default: tio.c_cflag |= CS8; break;
    }
    if (settings.parity != Parity::None)
        tio.c_cflag |= PARENB;
    if (settings.parity == Parity::Odd)
        tio.c_cflag |= PARODD;
    // With 5 data bits CSTOPB gives 1.5 stop bits.
    if (settings.stopBits != StopBits::One)
        tio.c_cflag |= CSTOPB;
    // VMIN 1 makes a non-blocking read say EAGAIN when nothing waits, so that a
    // read of 0 bytes means only one thing: the device hung up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
}

// Who else holds the device open, as the start of a failure's text; empty when
// nobody can be seen.
std::string heldBy(dev_t device)
{
    const std::optional<DeviceHolder> holder = otherHolder(device);
    return holder ? "In use by " + holder->name + " (process " + std::to_string(holder->pid) + "):" : std::string();
}

// After input arrived: lets more gather for a few milliseconds, never past the
// deadline; true when the wake handle woke it.
bool gatherInput(std::intptr_t wakeHandle, Clock::time_point deadline)
{
    const auto timeout = std::max(std::min(std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now()),
                                           std::chrono::nanoseconds(kInputGathering)),
                                  std::chrono::nanoseconds(0));
    const timespec wait {0, static_cast<long>(timeout.count())};
    pollfd wake {static_cast<int>(wakeHandle), POLLIN, 0};
    return ::ppoll(&wake, wakeHandle >= 0 ? 1 : 0, &wait, nullptr) > 0 && (wake.revents & POLLIN) != 0;
}

} // namespace

struct SerialDevice::Found {
    termios2 line {};
    bool lineChanged = false;
    bool tookExclusive = false;
};

SerialDevice::SerialDevice(const std::string& path, const LineSettings& settings)
    : m_path(path),
      m_found(std::make_unique<Found>())
{
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        // Another program's exclusive claim refuses the open itself: say whose it is.
        struct stat status {};
        const std::string holder
            = error == EBUSY && ::stat(path.c_str(), &status) == 0 && S_ISCHR(status.st_mode) ? heldBy(status.st_rdev)
                                                                                             : std::string();
        fail(error, holder.empty() ? "Cannot open" : holder);
    }
    m_handle = fd;

    try {
        struct stat status {};
        if (::fstat(fd, &status) != 0)
            fail(errno, "Cannot open");
        if (!S_ISCHR(status.st_mode) || retryIoctl(fd, TCGETS2, &m_found->line) != 0)
            fail(ENOTTY, "Not a serial device:");
        const unsigned kind = major(status.st_rdev);
        m_pseudoTerminal = (kind >= kFirstPtySlaveMajor && kind <= kLastPtySlaveMajor) || kind == kBsdPtySlaveMajor;
        // The lock keeps out every program that asks for it, root included.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            if (error == EWOULDBLOCK)
                fail(EBUSY, "In use by another program:");
            fail(error, "Cannot lock");
        }
        // TIOCEXCL keeps later opens out, but not root's. A flag that was set
        // before belongs to someone else and stays; where the kernel cannot say
        // (before Linux 3.8), it counts as clear.
        int exclusive = 0;
        if (retryIoctl(fd, TIOCGEXCL, &exclusive) != 0)
            exclusive = 0;
        if (exclusive == 0) {
            if (retryIoctl(fd, TIOCEXCL, nullptr) != 0)
                fail(errno, "Cannot take for exclusive use");
            m_found->tookExclusive = true;
        }
        // Looked for once the flag is set, so that nobody can open the port unseen in between.
        if (const std::string holder = heldBy(status.st_rdev); !holder.empty())
            fail(EBUSY, holder);
        apply(settings);
    } catch (...) {
        release(Leftover::Keep);
        throw;
    }
}

// Here, where what the open found is a complete type.
SerialDevice::~SerialDevice()
{
    try {
        close();
    } catch (const SerialError&) {
        // The device is closed all the same; there is nobody left to tell.
    }
}

void SerialDevice::apply(const LineSettings& settings)
{
    const int fd = static_cast<int>(m_handle);
    termios2 before {};
    if (retryIoctl(fd, TCGETS2, &before) != 0)
        fail(errno, "Cannot read the line settings of");
    termios2 wanted = before;
    setLine(wanted, settings);
    m_found->lineChanged = true;
    if (retryIoctl(fd, TCSETS2, &wanted) != 0) {
        const int error = errno;
        fail(error, "Cannot set " + std::to_string(settings.baud) + " baud on",
             error == EINVAL ? SerialError::Kind::Refused : SerialError::Kind::Failed);
    }
    termios2 got {};
    if (retryIoctl(fd, TCGETS2, &got) != 0)
        fail(errno, "Cannot read the line settings of");
    const tcflag_t frame = CSIZE | PARENB | PARODD | CSTOPB;
    const std::string refused
        = refusedPart((wanted.c_cflag & frame) == (got.c_cflag & frame), wanted.c_ospeed, got.c_ospeed);
    if (!refused.empty()) {
        retryIoctl(fd, TCSETS2, &before);
        refuse(EINVAL, refused);
    }
    m_line = settings;
}

std::size_t SerialDevice::writeNow(const char* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t written = ::write(static_cast<int>(m_handle), data + done, static_cast<size_t>(size - done));
        if (written > 0) {
            done += static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno == EAGAIN)
            break;
        failGone(written < 0 ? errno : EIO);
    }
    return done;
}

std::int64_t SerialDevice::fillInput()
{
    if (m_inPos == m_in.size()) {
        m_in.resize(0);
        m_inPos = 0;
    }
    const std::size_t start = m_in.size();
    m_in.resize(start + kReadChunk);
    ssize_t got = 0;
    do {
        got = ::read(static_cast<int>(m_handle), m_in.data() + start, kReadChunk);
    } while (got < 0 && errno == EINTR);
    const int error = errno;
    m_in.resize(start + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    if (got > 0)
        return got;
    // A raw non-blocking tty says EAGAIN when nothing waits; end of file or EIO
    // means the device hung up (unplugged, or the far end of a pseudo-terminal closed).
    if (got == 0)
        failGone(ENODEV);
    if (error == EAGAIN)
        return 0;
    failGone(error);
}

std::int64_t SerialDevice::waitingIn()
{
    if (m_outPos < m_out.size())
        pushOutput();
    // With nothing buffered, one read both counts and fetches: the common case of
    // polling an idle line, or a line that delivers a few characters at a time,
    // costs a single call. It also tells a device that hung up (see fillInput).
    if (m_inPos == m_in.size()) {
        const std::int64_t fetched = fillInput();
        if (fetched < static_cast<std::int64_t>(kReadChunk))
            return fetched;
    } else {
        // What is buffered was all the device had at the last read; the rest is
        // counted when the buffer runs dry, so a busy line costs no call per character.
        return static_cast<std::int64_t>(m_in.size() - m_inPos);
    }
    int waiting = 0;
    if (retryIoctl(static_cast<int>(m_handle), FIONREAD, &waiting) != 0)
        failGone(errno);
    return static_cast<std::int64_t>(m_in.size() - m_inPos) + waiting;
}

std::int64_t SerialDevice::waitingOut()
{
    if (m_outPos < m_out.size()) {
        pushOutput();
        // Room in a full queue comes back in bursts: a pseudo-terminal hands it
        // back only after the far end has read a few kilobytes. A short wait for it
        // here makes a caller that counts its polls wait at the device's pace, not
        // at its own speed.
        pollfd ready {static_cast<int>(m_handle), POLLOUT, 0};
        if (m_outPos < m_out.size() && ::ppoll(&ready, 1, &kFullQueueWait, nullptr) > 0
            && (ready.revents & POLLOUT) != 0)
            pushOutput();
    }
    int queued = 0;
    if (retryIoctl(static_cast<int>(m_handle), TIOCOUTQ, &queued) != 0)
        failGone(errno);
    return queued + static_cast<std::int64_t>(m_out.size() - m_outPos);
}

void SerialDevice::discardIn()
{
    m_in.clear();
    m_inPos = 0;
    // A device that is gone has nothing left to discard.
    retryIoctl(static_cast<int>(m_handle), TCFLSH, reinterpret_cast<void*>(TCIFLUSH));
}

void SerialDevice::discardOut()
{
    m_out.clear();
    m_outPos = 0;
    retryIoctl(static_cast<int>(m_handle), TCFLSH, reinterpret_cast<void*>(TCOFLUSH));
}

std::optional<std::int64_t> SerialDevice::queuedInSystem()
{
    int queued = 0;
    if (retryIoctl(static_cast<int>(m_handle), TIOCOUTQ, &queued) != 0)
        return std::nullopt;
    return queued;
}

void SerialDevice::release(Leftover leftover) noexcept
{
    const int fd = static_cast<int>(m_handle);
    m_handle = -1;
    // What cannot go out is dropped, so that the system's own close does not wait
    // for it again. A delivered queue is left alone: flushing would also empty the
    // UART's FIFO and, on a pseudo-terminal, what the far end has not read yet.
    if (leftover == Leftover::Discard)
        retryIoctl(fd, TCFLSH, reinterpret_cast<void*>(TCOFLUSH));
    // The settings stay with the device after the close, so they go back before it;
    // after a delivered queue, only once the last characters are on the wire.
    if (m_found->lineChanged)
        retryIoctl(fd, leftover == Leftover::Delivered ? TCSETSW2 : TCSETS2, &m_found->line);
    if (m_found->tookExclusive)
        retryIoctl(fd, TIOCNXCL, nullptr);
    // Closing also releases the lock.
    ::close(fd);

    m_in.resize(0);
    m_inPos = 0;
    m_out.resize(0);
    m_outPos = 0;
}

PortReadiness SerialDevice::readiness(PortEvent event)
{
    const int fd = static_cast<int>(m_handle);
    if (fd < 0)
        return {true};
    if (event == PortEvent::Input)
        return m_inPos < m_in.size() ? PortReadiness {true} : PortReadiness {false, fd};
    int kernelQueued = 0;
    retryIoctl(fd, TIOCOUTQ, &kernelQueued);
    const std::int64_t queued = static_cast<std::int64_t>(m_out.size() - m_outPos) + std::max(kernelQueued, 0);
    if (queued == 0)
        return {true};
    // No event tells that the line has sent a character: sleep for the time the
    // queue needs at the line rate. What the system had no room for waits behind a
    // full buffer of its own, until the system has room. The handle still tells a
    // hang-up.
    const std::chrono::nanoseconds lineTime = queued * characterTime();
    const bool backlog = m_outPos < m_out.size();
    return {false, fd, backlog ? std::max<std::chrono::nanoseconds>(lineTime, kBacklogLook) : lineTime, backlog};
}

bool SerialDevice::await(PortEvent event, std::intptr_t wakeHandle, Clock::time_point deadline)
{
    const PortReadiness ready = readiness(event);
    if (ready.now)
        return false;
    auto timeout = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
    timeout = std::max(std::min(timeout, ready.within), std::chrono::nanoseconds(0));
    const auto wholeSeconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    const timespec wait {static_cast<time_t>(wholeSeconds.count()), static_cast<long>((timeout - wholeSeconds).count())};
    const short wanted = event == PortEvent::Input ? POLLIN : ready.writable ? POLLOUT : 0;
    pollfd fds[2] = {{static_cast<int>(ready.handle), wanted, 0}, {static_cast<int>(wakeHandle), POLLIN, 0}};
    const nfds_t count = wakeHandle >= 0 ? 2 : 1;
    // A hang-up or an error wakes the wait too; the next look at the port reports it.
    if (::ppoll(fds, count, &wait, nullptr) <= 0)
        return false;
    if (count == 2 && (fds[1].revents & POLLIN) != 0)
        return true;
    if (event == PortEvent::Input && fds[0].revents == POLLIN)
        return gatherInput(wakeHandle, deadline);
    return false;
}

} // namespace ql
