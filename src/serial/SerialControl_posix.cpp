#include "serial/SerialDevice.h"

#include "common/Failure.h"

// termios2 rather than <termios.h>: it takes any baud rate the driver accepts.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace ql {

namespace {

using Clock = std::chrono::steady_clock;

constexpr qsizetype kReadChunk = 4096;
// The longest a close waits for queued characters to reach the wire.
constexpr auto kDrainCap = std::chrono::milliseconds(5000);
constexpr auto kDrainMargin = std::chrono::milliseconds(500);
// How often a blocking wait looks whether the system has room for output it refused.
constexpr auto kBacklogLook = std::chrono::milliseconds(2);

QString osText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

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

// What the driver made of the request, or an empty text when it took all of it.
QString refusedPart(const termios2& wanted, const termios2& got)
{
    const tcflag_t frame = CSIZE | PARENB | PARODD | CSTOPB;
    if ((wanted.c_cflag & frame) != (got.c_cflag & frame))
        return QStringLiteral("the driver does not offer this combination of parity, data bits and stop bits");
    // Drivers round the rate to what their clock divides; 2% is what a UART line tolerates.
    const double difference = std::abs(static_cast<double>(got.c_ospeed) - static_cast<double>(wanted.c_ospeed));
    if (difference > wanted.c_ospeed * 0.02)
        return QStringLiteral("the driver does not run at %1 baud (it set %2)").arg(wanted.c_ospeed).arg(got.c_ospeed);
    return {};
}

} // namespace

SerialDevice::SerialDevice(const QString& path, const LineSettings& settings)
    : m_path(path),
      m_settings(settings)
{
    const QByteArray encoded = path.toLocal8Bit();
    int fd = -1;
    do {
        fd = ::open(encoded.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        fail(errno, QStringLiteral("Cannot open"));
    m_handle = fd;

    try {
        struct stat status {};
        if (::fstat(fd, &status) != 0)
            fail(errno, QStringLiteral("Cannot open"));
        termios2 tio {};
        if (!S_ISCHR(status.st_mode) || retryIoctl(fd, TCGETS2, &tio) != 0)
            fail(ENOTTY, QStringLiteral("Not a serial device:"));
        // TIOCEXCL keeps other programs out, but not root; the lock keeps out every
        // program that asks for it, root included.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            if (error == EWOULDBLOCK)
                fail(EBUSY, QStringLiteral("In use by another program:"));
            fail(error, QStringLiteral("Cannot lock"));
        }
        if (retryIoctl(fd, TIOCEXCL, nullptr) != 0)
            fail(errno, QStringLiteral("Cannot take for exclusive use"));
        apply(settings);
        // Input that waited before the open is stale. Output is left alone: on a
        // pseudo-terminal, flushing it would throw away what the far end has not
        // read yet, such as the last characters of the previous session.
        if (retryIoctl(fd, TCFLSH, reinterpret_cast<void*>(TCIFLUSH)) != 0)
            fail(errno, QStringLiteral("Cannot empty the input queue of"));
    } catch (...) {
        ::close(fd);
        m_handle = -1;
        throw;
    }
}

SerialDevice::~SerialDevice()
{
    close();
}

void SerialDevice::fail(int error, const QString& what) const
{
    throw Failure(error, QStringLiteral("%1 %2: %3").arg(what, m_path, osText(error)));
}

void SerialDevice::failGone(int error) const
{
    throw Failure(error, QStringLiteral("The device %1 is gone: %2").arg(m_path, osText(error)));
}

void SerialDevice::apply(const LineSettings& settings)
{
    const int fd = static_cast<int>(m_handle);
    termios2 before {};
    if (retryIoctl(fd, TCGETS2, &before) != 0)
        fail(errno, QStringLiteral("Cannot read the line settings of"));
    termios2 wanted = before;
    setLine(wanted, settings);
    if (retryIoctl(fd, TCSETS2, &wanted) != 0)
        fail(errno, QStringLiteral("Cannot set %1 baud on").arg(settings.baud));
    termios2 got {};
    if (retryIoctl(fd, TCGETS2, &got) != 0)
        fail(errno, QStringLiteral("Cannot read the line settings of"));
    const QString refused = refusedPart(wanted, got);
    if (!refused.isEmpty()) {
        retryIoctl(fd, TCSETS2, &before);
        throw Failure(EINVAL, QStringLiteral("Cannot set the line of %1: %2: %3").arg(m_path, refused, osText(EINVAL)));
    }
    m_settings = settings;
}

qsizetype SerialDevice::writeNow(const char* data, qsizetype size)
{
    qsizetype done = 0;
    while (done < size) {
        const ssize_t written = ::write(static_cast<int>(m_handle), data + done, static_cast<size_t>(size - done));
        if (written > 0) {
            done += written;
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

void SerialDevice::pushOutput()
{
    m_outPos += writeNow(m_out.constData() + m_outPos, m_out.size() - m_outPos);
    if (m_outPos == m_out.size()) {
        m_out.resize(0);
        m_outPos = 0;
    } else if (m_outPos > kReadChunk && m_outPos * 2 > m_out.size()) {
        m_out.remove(0, m_outPos);
        m_outPos = 0;
    }
}

qint64 SerialDevice::fillInput()
{
    if (m_inPos == m_in.size()) {
        m_in.resize(0);
        m_inPos = 0;
    }
    const qsizetype start = m_in.size();
    m_in.resize(start + kReadChunk);
    ssize_t got = 0;
    do {
        got = ::read(static_cast<int>(m_handle), m_in.data() + start, kReadChunk);
    } while (got < 0 && errno == EINTR);
    const int error = errno;
    m_in.resize(start + std::max<ssize_t>(got, 0));
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

qint64 SerialDevice::waitingIn()
{
    if (m_outPos < m_out.size())
        pushOutput();
    // With nothing buffered, one read both counts and fetches: the common case of
    // polling an idle line, or a line that delivers a few characters at a time,
    // costs a single call. It also tells a device that hung up (see fillInput).
    if (m_inPos == m_in.size()) {
        const qint64 fetched = fillInput();
        if (fetched < kReadChunk)
            return fetched;
    } else {
        // What is buffered was all the device had at the last read; the rest is
        // counted when the buffer runs dry, so a busy line costs no call per character.
        return m_in.size() - m_inPos;
    }
    int waiting = 0;
    if (retryIoctl(static_cast<int>(m_handle), FIONREAD, &waiting) != 0)
        failGone(errno);
    return (m_in.size() - m_inPos) + waiting;
}

qint64 SerialDevice::waitingOut()
{
    if (m_outPos < m_out.size())
        pushOutput();
    int queued = 0;
    if (retryIoctl(static_cast<int>(m_handle), TIOCOUTQ, &queued) != 0)
        failGone(errno);
    return queued + (m_out.size() - m_outPos);
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

void SerialDevice::write(const char* data, qsizetype size)
{
    if (m_outPos < m_out.size())
        pushOutput();
    // Nothing may overtake what is still queued.
    const qsizetype done = m_outPos == m_out.size() ? writeNow(data, size) : 0;
    if (done < size)
        m_out.append(data + done, size - done);
}

QString SerialDevice::read(qsizetype max)
{
    if (m_outPos < m_out.size())
        pushOutput();
    if (m_inPos == m_in.size() && fillInput() == 0)
        return {};
    const qsizetype count = std::min(max, m_in.size() - m_inPos);
    const QString text = QString::fromLatin1(m_in.constData() + m_inPos, count);
    m_inPos += count;
    return text;
}

void SerialDevice::close()
{
    if (m_handle < 0)
        return;
    const int fd = static_cast<int>(m_handle);
    m_handle = -1;

    // Closing drains the queue first, or the end character can be lost.
    int kernelQueued = 0;
    retryIoctl(fd, TIOCOUTQ, &kernelQueued);
    const qint64 queued = (m_out.size() - m_outPos) + std::max(kernelQueued, 0);
    const auto lineTime = std::chrono::milliseconds(
        static_cast<qint64>(queued * m_settings.bitsPerCharacter() * 1000.0 / m_settings.baud));
    const auto deadline = Clock::now() + std::min<std::chrono::milliseconds>(lineTime + kDrainMargin, kDrainCap);

    auto remainingMs = [&deadline] {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        return static_cast<int>(std::max<qint64>(left.count(), 0));
    };
    bool gone = false;
    while (m_outPos < m_out.size() && remainingMs() > 0) {
        pollfd ready {fd, POLLOUT, 0};
        ::poll(&ready, 1, std::min(remainingMs(), 50));
        if ((ready.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            gone = true;
            break;
        }
        const ssize_t written = ::write(fd, m_out.constData() + m_outPos, static_cast<size_t>(m_out.size() - m_outPos));
        if (written > 0)
            m_outPos += written;
        else if (written < 0 && errno != EAGAIN && errno != EINTR) {
            gone = true;
            break;
        }
    }
    bool drained = !gone && m_outPos == m_out.size();
    while (drained) {
        int left = 0;
        if (retryIoctl(fd, TIOCOUTQ, &left) != 0)
            drained = false;
        if (!drained || left <= 0)
            break;
        if (remainingMs() == 0)
            drained = false;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // What could not go out within the bound is dropped, so that the kernel's own
    // close does not wait for it again. A drained queue is left alone: flushing
    // would also empty the UART's FIFO and lose the last characters.
    if (!drained)
        retryIoctl(fd, TCFLSH, reinterpret_cast<void*>(TCOFLUSH));
    ::close(fd);

    m_in.resize(0);
    m_inPos = 0;
    m_out.resize(0);
    m_outPos = 0;
}

bool SerialDevice::await(PortEvent event, qintptr wakeHandle, Clock::time_point deadline)
{
    const int fd = static_cast<int>(m_handle);
    if (fd < 0)
        return false;
    auto timeout = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
    short wanted = POLLIN;
    if (event == PortEvent::Input) {
        if (m_inPos < m_in.size())
            return false;
    } else {
        int kernelQueued = 0;
        retryIoctl(fd, TIOCOUTQ, &kernelQueued);
        const qint64 queued = (m_out.size() - m_outPos) + std::max(kernelQueued, 0);
        if (queued == 0)
            return false;
        // No event tells that the line has sent a character: sleep for the time the
        // queue needs at the line rate. What the system had no room for waits behind
        // a full buffer of its own, so a look now and then keeps the line busy.
        wanted = 0;
        const auto lineTime = std::chrono::nanoseconds(
            static_cast<qint64>(queued * m_settings.bitsPerCharacter() * 1e9 / m_settings.baud));
        timeout = std::min(timeout, m_outPos < m_out.size() ? std::max<std::chrono::nanoseconds>(lineTime, kBacklogLook)
                                                            : lineTime);
    }
    timeout = std::max(timeout, std::chrono::nanoseconds(0));
    const auto wholeSeconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    const timespec wait {static_cast<time_t>(wholeSeconds.count()), static_cast<long>((timeout - wholeSeconds).count())};
    pollfd fds[2] = {{fd, wanted, 0}, {static_cast<int>(wakeHandle), POLLIN, 0}};
    const nfds_t count = wakeHandle >= 0 ? 2 : 1;
    // A hang-up or an error wakes the wait too; the next look at the port reports it.
    if (::ppoll(fds, count, &wait, nullptr) <= 0)
        return false;
    return count == 2 && (fds[1].revents & POLLIN) != 0;
}

} // namespace ql
