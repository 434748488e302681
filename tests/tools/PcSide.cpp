#include "PcSide.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace ql::test {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(left, 0));
}

} // namespace

PcSide::PcSide(const QString& path)
{
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        throw std::runtime_error("cannot open " + path.toStdString());
    termios tio {};
    ::tcgetattr(m_fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(m_fd, TCSANOW, &tio);
}

PcSide::~PcSide()
{
    close();
}

bool PcSide::write(const QByteArray& bytes, std::chrono::milliseconds bound)
{
    const auto deadline = Clock::now() + bound;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (Clock::now() >= deadline)
            return false;
        pollfd pfd {m_fd, POLLOUT, 0};
        ::poll(&pfd, 1, msLeft(deadline));
    }
    return true;
}

qsizetype PcSide::writeWhatFits(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno == EAGAIN)
            break;
        else if (n < 0 && errno != EINTR)
            return -1;
    }
    return done;
}

bool PcSide::readOnce(QByteArray& out, int waitMs)
{
    pollfd pfd {m_fd, POLLIN, 0};
    if (::poll(&pfd, 1, waitMs) <= 0)
        return true;
    char buffer[4096];
    const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
    if (n > 0) {
        out.append(buffer, n);
        return true;
    }
    return n < 0 && (errno == EAGAIN || errno == EINTR);
}

QByteArray PcSide::read(qsizetype count, std::chrono::milliseconds bound)
{
    const auto deadline = Clock::now() + bound;
    QByteArray out;
    while (out.size() < count && Clock::now() < deadline) {
        if (!readOnce(out, msLeft(deadline)))
            break;
    }
    return out;
}

QByteArray PcSide::readThrough(char last, std::chrono::milliseconds bound)
{
    const auto deadline = Clock::now() + bound;
    QByteArray out;
    while (!out.contains(last) && Clock::now() < deadline) {
        if (!readOnce(out, msLeft(deadline)))
            break;
    }
    return out;
}

QByteArray PcSide::readFor(std::chrono::milliseconds period)
{
    const auto deadline = Clock::now() + period;
    QByteArray out;
    while (Clock::now() < deadline) {
        if (!readOnce(out, msLeft(deadline)))
            break;
    }
    return out;
}

bool PcSide::seesHangUp(std::chrono::milliseconds bound)
{
    const auto deadline = Clock::now() + bound;
    QByteArray ignored;
    while (Clock::now() < deadline) {
        if (!readOnce(ignored, msLeft(deadline)))
            return true;
    }
    return false;
}

void PcSide::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace ql::test
