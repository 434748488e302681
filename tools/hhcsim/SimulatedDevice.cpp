#include "hhcsim/SimulatedDevice.h"

#include "hhcsim/DevicePort.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace ql::hhcsim {

namespace {

constexpr char kBeginChar = '^';
constexpr char kSepChar = '@';
constexpr char kEndChar = '$';
constexpr std::chrono::milliseconds kHangUpDrain {250};

[[noreturn]] void throwErrno(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

QString directionText(Direction direction)
{
    return direction == Direction::PcToHhc ? QStringLiteral("PC->HHC") : QStringLiteral("HHC->PC");
}

// Repeatable bytes of every value but the begin character, which would end the
// PC's wait early.
QByteArray noiseBytes(int count)
{
    QByteArray out;
    out.reserve(count);
    std::uint32_t state = 0x2545F491u;
    while (out.size() < count) {
        state = state * 1664525u + 1013904223u;
        const char c = static_cast<char>(state >> 24);
        if (c != kBeginChar)
            out.append(c);
    }
    return out;
}

QString recordsText(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(count);
}

} // namespace

SimulatedDevice::SimulatedDevice(DeviceOptions options, Listener listener)
    : m_options(std::move(options))
    , m_listener(std::move(listener))
{
    if (m_options.linkPath.isEmpty() && m_options.linePath.isEmpty())
        throw std::invalid_argument("no link path given");
    m_stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_stopFd < 0)
        throwErrno("cannot make the stop signal");
    try {
        openPort();
    } catch (...) {
        ::close(m_stopFd);
        throw;
    }
}

SimulatedDevice::~SimulatedDevice()
{
    if (!m_port->isLine())
        removeLinkTo(m_options.linkPath, m_port->slavePath());
    m_port.reset();
    ::close(m_stopFd);
}

void SimulatedDevice::stop() noexcept
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_stopFd, &one, sizeof one);
}

QString SimulatedDevice::ptsPath() const
{
    const std::lock_guard lock(m_pathMutex);
    return m_ptsPath;
}

bool SimulatedDevice::run()
{
    try {
        for (;;) {
            if (!waitForOpen())
                return true;
            const bool hadSession = serveOpenPort();
            if (stopRequested() || (hadSession && m_options.once) || m_port->isLine())
                return true;
        }
    } catch (const std::exception& e) {
        emitText(DeviceEvent::Kind::Problem, QString::fromLocal8Bit(e.what()));
        return false;
    }
}

void SimulatedDevice::openPort()
{
    if (!m_options.linePath.isEmpty()) {
        m_port = std::make_unique<DevicePort>(m_options.linePath);
        {
            const std::lock_guard lock(m_pathMutex);
            m_ptsPath = m_options.linePath;
        }
        emitText(DeviceEvent::Kind::Published, QStringLiteral("talking on %1").arg(m_options.linePath));
        return;
    }
    auto port = std::make_unique<DevicePort>();
    publishLink(m_options.linkPath, port->slavePath());
    {
        const std::lock_guard lock(m_pathMutex);
        m_ptsPath = port->slavePath();
    }
    m_port = std::move(port);
    emitText(DeviceEvent::Kind::Published,
             QStringLiteral("PC side at %1 -> %2").arg(m_options.linkPath, m_port->slavePath()));
}

bool SimulatedDevice::waitForOpen()
{
    for (;;) {
        const DevicePort::WatchNews news = m_port->takeWatchNews();
        if (m_port->pcOpens() > 0) {
            m_closedSinceOpen = false;
            return true;
        }
        if (news.opened)
            emitText(DeviceEvent::Kind::PortClosed, QStringLiteral("PC opened and closed the port at once"));
        pollfd fds[2] = {{m_stopFd, POLLIN, 0}, {m_port->openWatch(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            throwErrno("cannot wait for the PC");
        if (fds[0].revents != 0)
            return false;
    }
}

bool SimulatedDevice::serveOpenPort()
{
    m_pending.clear();
    m_received.clear();
    m_sent.clear();
    m_paceNext = {};
    m_readLineFree = {};
    emitText(DeviceEvent::Kind::PortOpened, QStringLiteral("PC opened the port"));

    switch (awaitStart(m_options.mode != Mode::Receive)) {
    case Start::Stopped:
        return false;
    case Start::Closed:
        emitText(DeviceEvent::Kind::PortClosed, QStringLiteral("PC closed the port without starting a transfer"));
        return false;
    case Start::Begin:
        if (m_options.mode == Mode::Send) {
            emitText(DeviceEvent::Kind::Problem,
                     QStringLiteral("PC sent a begin request, but this device only sends; waiting for the PC to close"));
            waitForClose(true);
            m_port->discardOutput();
            return false;
        }
        finishSession(Direction::PcToHhc, receiveSession());
        return true;
    case Start::Quiet:
        if (m_options.sendRecords.isEmpty()) {
            emitText(DeviceEvent::Kind::Problem,
                     QStringLiteral("PC waits for records, but there are none to send; waiting for the PC to close"));
            waitForClose(true);
            m_port->discardOutput();
            return false;
        }
        finishSession(Direction::HhcToPc, sendSession());
        return true;
    }
    return false;
}

SimulatedDevice::Start SimulatedDevice::awaitStart(bool untilQuiet)
{
    const auto deadline = Clock::now() + m_options.quiet;
    for (;;) {
        QByteArray chunk;
        switch (takeInput(chunk, false, untilQuiet ? &deadline : nullptr)) {
        case Io::Closed:
            return Start::Closed;
        case Io::Stopped:
            return Start::Stopped;
        case Io::TimedOut:
            return Start::Quiet;
        case Io::Ok:
            break;
        }
        const qsizetype at = chunk.indexOf(kBeginChar);
        if (at >= 0) {
            m_pending = chunk.mid(at + 1);
            return Start::Begin;
        }
    }
}

SimulatedDevice::Outcome SimulatedDevice::receiveSession()
{
    DeviceEvent began;
    began.kind = DeviceEvent::Kind::SessionBegan;
    began.direction = Direction::PcToHhc;
    began.text = QStringLiteral("PC->HHC session: got the begin request");
    emitEvent(began);

    if (m_options.faults.noAnswer) {
        emitText(DeviceEvent::Kind::Note, QStringLiteral("not answering the begin request (fault)"));
        return {Ending::Completed, QStringLiteral("begin request not answered (fault)")};
    }
    const Io answered = sendNoiseThen(kBeginChar);
    if (answered != Io::Ok)
        return {answered == Io::Stopped ? Ending::Stopped : Ending::Closed,
                QStringLiteral("PC closed the port before the answer went out")};
    emitText(DeviceEvent::Kind::Note, QStringLiteral("answered the begin request"));

    DeviceEvent received;
    received.kind = DeviceEvent::Kind::RecordsReceived;
    received.direction = Direction::PcToHhc;
    const Ending ending = receiveRecords(received);
    QString how;
    switch (ending) {
    case Ending::Completed:
        how = QStringLiteral("end character received");
        break;
    case Ending::Silent:
        how = QStringLiteral("stopped reading after %1 (fault)").arg(recordsText(received.records.size()));
        break;
    case Ending::HungUp:
        how = QStringLiteral("hung up after %1 (fault)").arg(recordsText(received.records.size()));
        break;
    case Ending::Closed:
        how = QStringLiteral("PC closed the port before the end character");
        break;
    case Ending::Stopped:
        how = QStringLiteral("device stopped before the end character");
        break;
    }
    received.text = QStringLiteral("received %1").arg(recordsText(received.records.size()));
    if (!received.complete) {
        received.text += QStringLiteral(", incomplete: ") + how;
        if (!received.unfinished.isEmpty())
            received.text += QStringLiteral("; %1 bytes of an unfinished record dropped").arg(received.unfinished.size());
    }
    emitEvent(received);
    return {ending, how};
}

SimulatedDevice::Ending SimulatedDevice::receiveRecords(DeviceEvent& received)
{
    const Faults& faults = m_options.faults;
    // Checked after the answer and after every record, so that 0 acts before the first.
    const auto faultDue = [&]() -> std::optional<Ending> {
        const qsizetype count = received.records.size();
        if (faults.hangupAfter == count) {
            hangUp(QStringLiteral("after receiving %1 (fault)").arg(recordsText(count)));
            return Ending::HungUp;
        }
        if (faults.stopAfter == count) {
            emitText(DeviceEvent::Kind::Note,
                     QStringLiteral("stopped reading after %1 (fault)").arg(recordsText(count)));
            return Ending::Silent;
        }
        return std::nullopt;
    };
    if (const auto ending = faultDue())
        return *ending;

    QByteArray& current = received.unfinished;
    for (;;) {
        QByteArray chunk;
        if (!m_pending.isEmpty()) {
            chunk.swap(m_pending);
        } else {
            const Io io = takeInput(chunk, false, nullptr);
            if (io != Io::Ok)
                return io == Io::Stopped ? Ending::Stopped : Ending::Closed;
        }
        const char* data = chunk.constData();
        const qsizetype size = chunk.size();
        qsizetype from = 0;
        while (from < size) {
            qsizetype cut = from;
            while (cut < size && data[cut] != kSepChar && data[cut] != kEndChar)
                ++cut;
            current.append(data + from, cut - from);
            if (cut == size)
                break;
            received.records.append(current);
            current.clear();
            if (data[cut] == kEndChar) {
                received.complete = true;
                return Ending::Completed;
            }
            if (const auto ending = faultDue())
                return *ending;
            from = cut + 1;
        }
    }
}

SimulatedDevice::Outcome SimulatedDevice::sendSession()
{
    const QByteArrayList& records = m_options.sendRecords;
    DeviceEvent began;
    began.kind = DeviceEvent::Kind::SessionBegan;
    began.direction = Direction::HhcToPc;
    began.text = QStringLiteral("HHC->PC session: the PC waits for records");
    emitEvent(began);

    if (m_options.faults.noAnswer) {
        emitText(DeviceEvent::Kind::Note, QStringLiteral("never sending the begin request (fault)"));
        return {Ending::Completed, QStringLiteral("begin request never sent (fault)")};
    }
    Io io = sendNoiseThen(kBeginChar);
    if (io != Io::Ok)
        return {io == Io::Stopped ? Ending::Stopped : Ending::Closed,
                QStringLiteral("PC closed the port before the begin request went out")};
    emitText(DeviceEvent::Kind::Note, QStringLiteral("sent the begin request; waiting for the answer"));

    // The PC throws away what arrives before its answer, so nothing goes out until then.
    for (;;) {
        QByteArray chunk;
        io = takeInput(chunk, false, nullptr);
        if (io != Io::Ok)
            return {io == Io::Stopped ? Ending::Stopped : Ending::Closed,
                    QStringLiteral("PC closed the port without answering")};
        if (chunk.contains(kBeginChar))
            break;
    }
    // The line stood idle while the PC answered: the records' pace starts afresh
    // rather than catching up with the begin request's.
    m_paceNext = {};
    emitText(DeviceEvent::Kind::Note, QStringLiteral("got the answer; sending %1").arg(recordsText(records.size())));

    const Faults& faults = m_options.faults;
    for (qsizetype k = 0; k < records.size(); ++k) {
        if (faults.stopAfter == k) {
            emitText(DeviceEvent::Kind::Note, QStringLiteral("falling silent after %1 (fault)").arg(recordsText(k)));
            return {Ending::Completed, QStringLiteral("fell silent after %1 of %2 (fault)").arg(k).arg(records.size())};
        }
        if (faults.hangupAfter == k) {
            if (faults.cutRecordBytes > 0 && writeBytes(records.at(k).left(faults.cutRecordBytes)) != Io::Ok)
                return {Ending::Closed, QStringLiteral("PC closed the port after %1 of %2").arg(k).arg(records.size())};
            hangUp(QStringLiteral("after sending %1 (fault)").arg(recordsText(k)));
            return {Ending::HungUp, QStringLiteral("hung up after %1 of %2 (fault)").arg(k).arg(records.size())};
        }
        QByteArray wire;
        wire.reserve(records.at(k).size() + 1);
        wire.append(records.at(k));
        wire.append(k + 1 == records.size() ? kEndChar : kSepChar);
        io = writeBytes(wire);
        if (io != Io::Ok)
            return {io == Io::Stopped ? Ending::Stopped : Ending::Closed,
                    QStringLiteral("PC closed the port after %1 of %2").arg(k).arg(records.size())};
    }
    DeviceEvent sent;
    sent.kind = DeviceEvent::Kind::RecordsSent;
    sent.direction = Direction::HhcToPc;
    sent.records = records;
    sent.text = QStringLiteral("sent %1").arg(recordsText(records.size()));
    emitEvent(sent);
    return {Ending::Completed, QStringLiteral("all %1 sent").arg(recordsText(records.size()))};
}

void SimulatedDevice::finishSession(Direction direction, Outcome outcome)
{
    Ending ending = outcome.ending;
    // The PC reads at its own pace: the session lasts until it closes the port.
    if (ending == Ending::Completed) {
        ending = waitForClose(true);
    } else if (ending == Ending::Silent) {
        ending = waitForClose(false);
        m_port->discardInput();
    }
    if (ending != Ending::HungUp)
        m_port->discardOutput();

    DeviceEvent ended;
    ended.kind = DeviceEvent::Kind::SessionEnded;
    ended.direction = direction;
    ended.received = m_received;
    ended.sent = m_sent;
    ended.text = QStringLiteral("%1 session ended: %2").arg(directionText(direction), outcome.how);
    emitEvent(ended);

    if (m_port->isHungUp() && !stopRequested())
        openPort();
}

SimulatedDevice::Ending SimulatedDevice::waitForClose(bool reading)
{
    for (;;) {
        QByteArray chunk;
        const Io io = reading ? takeInput(chunk, true, nullptr) : waitLine(Want::Nothing, true, nullptr);
        if (io == Io::Stopped)
            return Ending::Stopped;
        if (io == Io::Closed)
            return Ending::Closed;
    }
}

QByteArray SimulatedDevice::takeLeftoverInput()
{
    QByteArray leftover;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_port->master(), buffer, sizeof buffer);
        if (n > 0)
            leftover.append(buffer, n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    m_received.append(leftover);
    return leftover;
}

bool SimulatedDevice::pcClosed()
{
    if (m_port->takeWatchNews().lastClosed)
        m_closedSinceOpen = true;
    return m_closedSinceOpen || m_port->isHungUp();
}

SimulatedDevice::Io SimulatedDevice::waitLine(Want want, bool closeFirst, const Clock::time_point* deadline)
{
    const short events = want == Want::Input ? POLLIN : want == Want::Output ? POLLOUT : 0;
    const nfds_t count = want == Want::Nothing ? 2 : 3;
    for (;;) {
        if (closeFirst && pcClosed())
            return Io::Closed;
        pollfd fds[3] = {{m_stopFd, POLLIN, 0}, {m_port->openWatch(), POLLIN, 0}, {m_port->master(), events, 0}};
        timespec wait {};
        if (deadline) {
            const auto left = std::max(Clock::duration::zero(), *deadline - Clock::now());
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
            wait = {static_cast<time_t>(seconds.count()),
                    static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds).count())};
        }
        if (::ppoll(fds, count, deadline ? &wait : nullptr, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            throwErrno("cannot wait on the line");
        }
        if (fds[0].revents != 0)
            return Io::Stopped;
        // Input before the close: the PC may close straight after its last byte.
        if (count == 3 && (fds[2].revents & events) != 0 && !(closeFirst && pcClosed()))
            return Io::Ok;
        if (pcClosed())
            return Io::Closed;
        // Nobody holds the port although no close was seen: events were lost.
        if (count == 3 && (fds[2].revents & (POLLHUP | POLLERR)) != 0)
            return Io::Closed;
        if (deadline && Clock::now() >= *deadline)
            return Io::TimedOut;
    }
}

SimulatedDevice::Io SimulatedDevice::takeInput(QByteArray& chunk, bool closeFirst, const Clock::time_point* deadline)
{
    const auto slow = m_options.faults.slowReadPerByte;
    for (;;) {
        const Io ready = waitLine(Want::Input, closeFirst, deadline);
        // The line's readiness is taken before the watch is read, and the terminal
        // hands the PC's bytes over on its own time: a close can be seen while the
        // last bytes written before it did not yet count as readable. A read now
        // still gets them. They are this session's unless the PC opened the port again.
        if (ready == Io::Closed && m_port->pcOpens() == 0) {
            const QByteArray leftover = takeLeftoverInput();
            if (!leftover.isEmpty()) {
                chunk.append(leftover);
                return Io::Ok;
            }
        }
        if (ready != Io::Ok)
            return ready;
        char buffer[4096];
        const ssize_t n = ::read(m_port->master(), buffer, slow.count() > 0 ? 1 : readAllowance());
        if (n > 0) {
            chunk.append(buffer, n);
            m_received.append(buffer, n);
            if (m_options.faults.baud > 0)
                return paceRead(n);
            return pause(slow, false);
        }
        // The master reads EIO once nobody holds the port and its last bytes are read.
        if (n == 0 || errno == EIO)
            return Io::Closed;
        if (errno != EAGAIN && errno != EINTR)
            throwErrno("cannot read from the line");
    }
}

namespace {

// A UART takes this many characters ahead of the line, as a 16550's FIFO does.
constexpr qint64 kLineFifo = 16;
// A paced line keeps its schedule through a hold-up this short (the device thread
// waiting for the processor), so that the line rate holds on a busy machine;
// after a longer pause the line stood idle and starts afresh.
constexpr auto kCatchUp = std::chrono::milliseconds(100);

std::chrono::nanoseconds characterTime(int baud)
{
    return std::chrono::nanoseconds(10'000'000'000LL / baud);
}

} // namespace

SimulatedDevice::Io SimulatedDevice::writeBytes(const QByteArray& bytes)
{
    const qsizetype size = bytes.size();
    const int baud = m_options.faults.baud;
    const auto interval = std::chrono::nanoseconds(baud > 0 ? 10'000'000'000LL / baud : 0);
    const auto now = Clock::now();
    auto start = now - m_paceNext < kCatchUp ? m_paceNext : now;
    qsizetype done = 0;
    while (done < size) {
        qsizetype allowed = size - done;
        if (baud > 0) {
            const auto at = Clock::now();
            const qsizetype due = at < start ? 0 : std::min<qsizetype>((at - start) / interval + 1, size);
            allowed = due - done;
            if (allowed <= 0) {
                const Io io = pause(start + done * interval - at, true);
                if (io != Io::Ok)
                    return io;
                continue;
            }
        }
        const ssize_t n = ::write(m_port->master(), bytes.constData() + done, static_cast<size_t>(allowed));
        if (n > 0) {
            m_sent.append(bytes.constData() + done, n);
            done += n;
            continue;
        }
        if (n < 0 && errno == EIO)
            return Io::Closed;
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            throwErrno("cannot write to the line");
        const Io io = waitLine(Want::Output, true, nullptr);
        if (io != Io::Ok)
            return io;
        // A line that was held up does not catch up faster than its rate.
        start = Clock::now() - done * interval;
    }
    m_paceNext = start + size * interval;
    return Io::Ok;
}

size_t SimulatedDevice::readAllowance() const
{
    constexpr qint64 kChunk = 4096;
    if (m_options.faults.baud <= 0)
        return kChunk;
    const auto interval = characterTime(m_options.faults.baud);
    const auto owed = m_readLineFree - Clock::now();
    qint64 allowance = kLineFifo;
    if (owed.count() > 0)
        allowance -= (owed + interval - std::chrono::nanoseconds(1)) / interval;
    else if (-owed < kCatchUp)
        allowance += -owed / interval; // what reached the device while it was held up
    return static_cast<size_t>(std::clamp<qint64>(allowance, 1, kChunk));
}

SimulatedDevice::Io SimulatedDevice::paceRead(qint64 count)
{
    // The PC's characters reach the device no faster than the line carries them:
    // the device takes them as a sending UART lets them go, a FIFO ahead of the wire.
    const auto interval = characterTime(m_options.faults.baud);
    const auto now = Clock::now();
    m_readLineFree = (now - m_readLineFree < kCatchUp ? m_readLineFree : now) + count * interval;
    return pause(m_readLineFree - (kLineFifo - 1) * interval - now, false);
}

SimulatedDevice::Io SimulatedDevice::pause(std::chrono::nanoseconds duration, bool watchClose)
{
    if (duration.count() <= 0)
        return Io::Ok;
    const auto until = Clock::now() + duration;
    if (watchClose) {
        const Io io = waitLine(Want::Nothing, true, &until);
        return io == Io::TimedOut ? Io::Ok : io;
    }
    for (;;) {
        const auto left = until - Clock::now();
        if (left.count() <= 0)
            return Io::Ok;
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
        const timespec wait {static_cast<time_t>(seconds.count()),
                             static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds).count())};
        pollfd stop {m_stopFd, POLLIN, 0};
        const int n = ::ppoll(&stop, 1, &wait, nullptr);
        if (n > 0)
            return Io::Stopped;
        if (n < 0 && errno != EINTR)
            throwErrno("cannot pause");
    }
}

SimulatedDevice::Io SimulatedDevice::sendNoiseThen(char c)
{
    if (m_options.faults.noiseBytes > 0) {
        emitText(DeviceEvent::Kind::Note,
                 QStringLiteral("sending %1 noise bytes first (fault)").arg(m_options.faults.noiseBytes));
        const Io io = writeBytes(noiseBytes(m_options.faults.noiseBytes));
        if (io != Io::Ok)
            return io;
    }
    return writeBytes(QByteArray(1, c));
}

void SimulatedDevice::hangUp(const QString& why)
{
    // Gives the PC time to take what was sent: hanging up throws away what it has not read.
    const auto drained = Clock::now() + kHangUpDrain;
    waitLine(Want::Nothing, true, &drained);
    m_port->hangUp();
    emitText(DeviceEvent::Kind::HungUp, QStringLiteral("hung up the line ") + why);
}

bool SimulatedDevice::stopRequested() const
{
    pollfd pfd {m_stopFd, POLLIN, 0};
    return ::poll(&pfd, 1, 0) > 0;
}

void SimulatedDevice::emitEvent(const DeviceEvent& event)
{
    if (m_listener)
        m_listener(event);
}

void SimulatedDevice::emitText(DeviceEvent::Kind kind, const QString& text)
{
    DeviceEvent event;
    event.kind = kind;
    event.text = text;
    emitEvent(event);
}

} // namespace ql::hhcsim
