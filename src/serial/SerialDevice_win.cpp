#include "serial/SerialDevice.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <thread>

// Each kind of overlapped operation has one owner, as in Qt's serial port: the read
// and the write each keep theirs from start to end, and a call never waits for one
// longer than kIoBoundMs; what is still under way is taken up by a later call. The
// read asks for what waits, or, when nothing does, for one character: that read
// stays with the driver until a character comes, and is what a wait for input
// sleeps on.
namespace ql {

const int SerialDevice::kStalledError = ERROR_TIMEOUT;

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kQueueBytes = 4096;
// A write hands the driver what it takes within this time; the rest is handed on
// by a later call. The system's timer may stretch it to one tick.
constexpr DWORD kWriteWaitMs = 1;
// The longest one call waits for an operation that should end at once: the read
// of what waits.
constexpr DWORD kIoBoundMs = 200;
// How often a wait for output looks at the port while the driver had no room.
constexpr auto kBacklogLook = std::chrono::milliseconds(2);
// A UART's transmit FIFO: characters the driver no longer counts but the wire has
// not carried yet.
constexpr int kFifoCharacters = 17;
constexpr auto kFifoWaitCap = std::chrono::milliseconds(1000);

HANDLE handleOf(std::intptr_t value)
{
    return reinterpret_cast<HANDLE>(value);
}

// One overlapped operation with its own event and buffer, none of which may go
// while the driver holds the operation.
struct Operation {
    OVERLAPPED io {};
    std::array<char, kQueueBytes> buffer {};
    bool pending = false; // started, and its result not taken yet
    // Where a close leaves it with the driver.
    std::unique_ptr<Operation> next;

    Operation() { io.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~Operation()
    {
        if (io.hEvent != nullptr)
            CloseHandle(io.hEvent);
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    // The system signals the event last, once nothing of the operation is used.
    bool ended() const { return HasOverlappedIoCompleted(&io) && WaitForSingleObject(io.hEvent, 0) == WAIT_OBJECT_0; }

    // Notes the start of an operation (ReadFile or WriteFile on this one, which
    // also reset the event): the system's number of its failure, or 0 once it runs.
    DWORD begin(BOOL started)
    {
        if (!started && GetLastError() != ERROR_IO_PENDING)
            return GetLastError();
        pending = true;
        return 0;
    }

    // Takes the result of an operation that ended: how much it moved, and the
    // system's number of its failure (0 when none).
    DWORD take(HANDLE port, DWORD& moved)
    {
        pending = false;
        moved = 0;
        return GetOverlappedResult(port, &io, &moved, FALSE) ? 0 : GetLastError();
    }
};

// Operations that a closed device left with the driver, each freed once it has
// ended, then or at a later close. Adding takes no memory, so that it cannot fail.
SRWLOCK g_leftLock = SRWLOCK_INIT;
std::unique_ptr<Operation> g_left;

void leaveWithDriver(std::unique_ptr<Operation> operation) noexcept
{
    AcquireSRWLockExclusive(&g_leftLock);
    if (operation->pending && !operation->ended()) {
        operation->next = std::move(g_left);
        g_left = std::move(operation);
    }
    for (std::unique_ptr<Operation>* link = &g_left; *link;) {
        if ((*link)->ended())
            *link = std::move((*link)->next);
        else
            link = &(*link)->next;
    }
    ReleaseSRWLockExclusive(&g_leftLock);
}

// COM ports above 9 open only under the device namespace, so a bare "COM12" gets it.
std::wstring deviceName(const std::string& path)
{
    const int length = static_cast<int>(path.size());
    const int size = MultiByteToWideChar(CP_UTF8, 0, path.data(), length, nullptr, 0);
    std::wstring name(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), length, name.data(), size);
    return name.find_first_of(L"\\/:") != std::wstring::npos ? name : L"\\\\.\\" + name;
}

void setLine(DCB& dcb, const LineSettings& settings)
{
    dcb.BaudRate = settings.baud;
    dcb.fBinary = TRUE;
    dcb.fParity = settings.parity != Parity::None;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    // Unused without flow control, but the driver refuses the two alike.
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    // A framing or parity error must not stop the reads and writes after it: the
    // character is delivered as received, as on the other platforms.
    dcb.fAbortOnError = FALSE;
    dcb.ByteSize = static_cast<BYTE>(settings.dataBits);
    dcb.Parity = settings.parity == Parity::None ? NOPARITY : settings.parity == Parity::Even ? EVENPARITY : ODDPARITY;
    dcb.StopBits = settings.stopBits == StopBits::One     ? ONESTOPBIT
                   : settings.stopBits == StopBits::Two ? TWOSTOPBITS
                                                        : ONE5STOPBITS;
}

} // namespace

struct SerialDevice::Found {
    DCB line {};
    COMMTIMEOUTS timeouts {};
    bool lineChanged = false;
    bool timeoutsChanged = false;
    std::unique_ptr<Operation> read = std::make_unique<Operation>();
    // A read that a discard overtook: what it brings is dropped.
    bool readStale = false;
    // A read of one character when nothing waited.
    bool readWakes = false;
    std::unique_ptr<Operation> write = std::make_unique<Operation>();
    // The part of the write's buffer that the driver has not taken yet.
    DWORD writeFrom = 0;
    DWORD writeTo = 0;

    // After the close: what has not ended yet stays with the driver.
    ~Found()
    {
        leaveWithDriver(std::move(read));
        leaveWithDriver(std::move(write));
    }
    DWORD writeHeld() const { return writeTo - writeFrom; }
};

SerialDevice::SerialDevice(const std::string& path, const LineSettings& settings)
    : m_path(path),
      m_found(std::make_unique<Found>())
{
    // No sharing: while this handle lasts, the system refuses every other open.
    const HANDLE handle = CreateFileW(deviceName(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
            fail(static_cast<int>(error), "In use by another program:");
        fail(static_cast<int>(error), "Cannot open");
    }
    m_handle = reinterpret_cast<std::intptr_t>(handle);

    try {
        if (m_found->read->io.hEvent == nullptr || m_found->write->io.hEvent == nullptr)
            fail(static_cast<int>(GetLastError()), "Cannot open");
        m_found->line.DCBlength = sizeof(m_found->line);
        if (GetFileType(handle) != FILE_TYPE_CHAR || !GetCommState(handle, &m_found->line))
            fail(ERROR_BAD_DEVICE, "Not a serial device:");
        if (!GetCommTimeouts(handle, &m_found->timeouts))
            fail(static_cast<int>(GetLastError()), "Cannot read the time-outs of");
        // Only a request: drivers that keep their own queue sizes refuse it, and work.
        SetupComm(handle, kQueueBytes, kQueueBytes);
        // No read time-outs: a read waits for as many characters as it asks for.
        COMMTIMEOUTS timeouts {};
        timeouts.WriteTotalTimeoutConstant = kWriteWaitMs;
        m_found->timeoutsChanged = true;
        if (!SetCommTimeouts(handle, &timeouts))
            fail(static_cast<int>(GetLastError()), "Cannot set the time-outs of");
        apply(settings);
        // From here a character that comes ends the read that waits for it.
        fillInput();
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
        // The handle is closed all the same, and there is no one left to tell.
    }
}

void SerialDevice::apply(const LineSettings& settings)
{
    const HANDLE handle = handleOf(m_handle);
    DCB before {};
    before.DCBlength = sizeof(before);
    if (!GetCommState(handle, &before))
        fail(static_cast<int>(GetLastError()), "Cannot read the line settings of");
    DCB wanted = before;
    setLine(wanted, settings);
    m_found->lineChanged = true;
    std::string refused;
    DWORD error = ERROR_INVALID_PARAMETER;
    if (!SetCommState(handle, &wanted)) {
        error = GetLastError();
        if (error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED)
            fail(static_cast<int>(error), "Cannot set " + std::to_string(settings.baud) + " baud on");
        refused = "the driver does not take " + std::to_string(settings.baud) + " baud with this framing";
    } else {
        DCB got {};
        got.DCBlength = sizeof(got);
        if (!GetCommState(handle, &got))
            fail(static_cast<int>(GetLastError()), "Cannot read the line settings of");
        refused = refusedPart(
            wanted.ByteSize == got.ByteSize && wanted.Parity == got.Parity && wanted.StopBits == got.StopBits,
            wanted.BaudRate, got.BaudRate);
    }
    if (!refused.empty()) {
        SetCommState(handle, &before);
        refuse(static_cast<int>(error), refused);
    }
    m_line = settings;
}

std::size_t SerialDevice::writeNow(const char* data, std::size_t size)
{
    const HANDLE handle = handleOf(m_handle);
    Found& found = *m_found;
    Operation& op = *found.write;
    // What a device that went away did not take is lost with it.
    const auto gone = [&](DWORD error) {
        found.writeFrom = found.writeTo = 0;
        failGone(static_cast<int>(error));
    };
    std::size_t done = 0;
    for (;;) {
        if (op.pending) {
            if (!op.ended())
                break;
            DWORD written = 0;
            // A write that timed out took what the driver could hold; some drivers
            // report the time-out as a failure.
            const DWORD error = op.take(handle, written);
            if (error != 0 && error != ERROR_TIMEOUT && error != ERROR_SEM_TIMEOUT && error != ERROR_OPERATION_ABORTED)
                gone(error);
            found.writeFrom = std::min(found.writeFrom + written, found.writeTo);
            // The driver took nothing: the rest waits for a later call.
            if (written == 0)
                break;
        }
        if (found.writeHeld() == 0) {
            if (done == size)
                break;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, op.buffer.size()));
            std::copy_n(data + done, chunk, op.buffer.data());
            found.writeFrom = 0;
            found.writeTo = chunk;
            done += chunk;
        }
        const DWORD error
            = op.begin(WriteFile(handle, op.buffer.data() + found.writeFrom, found.writeHeld(), nullptr, &op.io));
        if (error != 0)
            gone(error);
    }
    return done;
}

std::int64_t SerialDevice::fillInput()
{
    if (m_inPos == m_in.size()) {
        m_in.resize(0);
        m_inPos = 0;
    }
    const HANDLE handle = handleOf(m_handle);
    Found& found = *m_found;
    Operation& op = *found.read;
    std::int64_t fetched = 0;
    for (;;) {
        if (!op.pending) {
            // A device that went away fails the look at the driver's status.
            DWORD errors = 0;
            COMSTAT status {};
            if (!ClearCommError(handle, &errors, &status))
                failGone(static_cast<int>(GetLastError()));
            const DWORD wanted = std::clamp<DWORD>(status.cbInQue, 1, static_cast<DWORD>(kReadChunk));
            found.readWakes = status.cbInQue == 0;
            const DWORD error = op.begin(ReadFile(handle, op.buffer.data(), wanted, nullptr, &op.io));
            if (error != 0)
                failGone(static_cast<int>(error));
            if (!found.readWakes)
                WaitForSingleObject(op.io.hEvent, kIoBoundMs);
        }
        if (!op.ended())
            return fetched;
        DWORD got = 0;
        const DWORD error = op.take(handle, got);
        if (error != 0 && error != ERROR_OPERATION_ABORTED)
            failGone(static_cast<int>(error));
        if (found.readStale)
            got = 0;
        found.readStale = false;
        m_in.insert(m_in.end(), op.buffer.data(), op.buffer.data() + got);
        fetched += got;
        // The character that ended a wait may have others behind it.
        if (!found.readWakes || got == 0)
            return fetched;
        found.readWakes = false;
    }
}

std::int64_t SerialDevice::waitingIn()
{
    pushOutput();
    // What is buffered is counted without a call; otherwise one read both counts
    // and fetches, as on the other platforms.
    if (m_inPos < m_in.size())
        return static_cast<std::int64_t>(m_in.size() - m_inPos);
    const std::int64_t fetched = fillInput();
    if (fetched < static_cast<std::int64_t>(kReadChunk))
        return fetched;
    // A full read may have left more behind.
    DWORD errors = 0;
    COMSTAT status {};
    if (!ClearCommError(handleOf(m_handle), &errors, &status))
        failGone(static_cast<int>(GetLastError()));
    return static_cast<std::int64_t>(m_in.size() - m_inPos) + status.cbInQue;
}

std::int64_t SerialDevice::waitingOut()
{
    pushOutput();
    // This also clears a line error, which would otherwise be reported again and again.
    const std::optional<std::int64_t> queued = queuedInSystem();
    if (!queued)
        failGone(static_cast<int>(GetLastError()));
    return *queued + static_cast<std::int64_t>(m_out.size() - m_outPos);
}

void SerialDevice::discardIn()
{
    m_in.clear();
    m_inPos = 0;
    const HANDLE handle = handleOf(m_handle);
    // A read under way may hold input from before: it is ended here (PurgeComm
    // does not end it under Wine), and what it brings is dropped.
    if (Operation& op = *m_found->read; op.pending) {
        CancelIoEx(handle, &op.io);
        WaitForSingleObject(op.io.hEvent, kIoBoundMs);
        m_found->readStale = true;
    }
    // A device that is gone has nothing left to discard.
    PurgeComm(handle, PURGE_RXABORT | PURGE_RXCLEAR);
}

void SerialDevice::discardOut()
{
    m_out.clear();
    m_outPos = 0;
    m_found->writeFrom = m_found->writeTo = 0;
    PurgeComm(handleOf(m_handle), PURGE_TXABORT | PURGE_TXCLEAR);
}

std::optional<std::int64_t> SerialDevice::queuedInSystem()
{
    DWORD errors = 0;
    COMSTAT status {};
    if (!ClearCommError(handleOf(m_handle), &errors, &status))
        return std::nullopt;
    // A driver counts a write under way, or (Wine) not.
    return std::max<std::int64_t>(status.cbOutQue, m_found->writeHeld());
}

void SerialDevice::release(Leftover leftover) noexcept
{
    const HANDLE handle = handleOf(m_handle);
    m_handle = -1;
    // What cannot go out is dropped, so that closing the handle does not wait for it.
    if (leftover == Leftover::Discard)
        PurgeComm(handle, PURGE_TXABORT | PURGE_TXCLEAR);
    // Nothing is left under way that the close has not asked to end.
    CancelIoEx(handle, nullptr);
    std::array<HANDLE, 2> ending {};
    DWORD count = 0;
    for (const Operation* op : {m_found->read.get(), m_found->write.get()}) {
        if (op->pending)
            ending[count++] = op->io.hEvent;
    }
    if (count > 0)
        WaitForMultipleObjects(count, ending.data(), TRUE, kIoBoundMs);
    // The driver keeps the settings after the close, so they go back before it.
    // After a delivered queue the last characters may still be in the UART's FIFO,
    // which no count shows: they leave at the line's own rate first.
    if (m_found->lineChanged) {
        if (leftover == Leftover::Delivered)
            std::this_thread::sleep_for(std::min<std::chrono::nanoseconds>(kFifoCharacters * characterTime(),
                                                                           kFifoWaitCap));
        SetCommState(handle, &m_found->line);
    }
    if (m_found->timeoutsChanged)
        SetCommTimeouts(handle, &m_found->timeouts);
    CloseHandle(handle);

    m_in.resize(0);
    m_inPos = 0;
    m_out.resize(0);
    m_outPos = 0;
}

PortReadiness SerialDevice::readiness(PortEvent event)
{
    if (m_handle == -1)
        return {true};
    if (event == PortEvent::Input) {
        // Only a read that is waiting for a character has something to sleep on;
        // otherwise a look at the port starts one.
        const Operation& op = *m_found->read;
        if (m_inPos < m_in.size() || !op.pending || op.ended())
            return {true};
        return {false, reinterpret_cast<std::intptr_t>(op.io.hEvent)};
    }
    const std::optional<std::int64_t> system = queuedInSystem();
    // A device that went away is ready: the next look at the port reports it.
    if (!system)
        return {true};
    const std::int64_t queued = *system + static_cast<std::int64_t>(m_out.size() - m_outPos);
    if (queued == 0)
        return {true};
    // No event tells that the line has sent a character: wait for the time the
    // queue needs at the line rate, or until the driver takes a write under way.
    const std::chrono::nanoseconds lineTime = queued * characterTime();
    const Operation& op = *m_found->write;
    if (op.pending)
        return op.ended() ? PortReadiness {true}
                          : PortReadiness {false, reinterpret_cast<std::intptr_t>(op.io.hEvent), lineTime, true};
    if (m_found->writeHeld() > 0 || m_outPos < m_out.size())
        return {false, -1, kBacklogLook};
    return {false, -1, std::max<std::chrono::nanoseconds>(lineTime, kBacklogLook)};
}

bool SerialDevice::await(PortEvent event, std::intptr_t wakeHandle, Clock::time_point deadline)
{
    const PortReadiness ready = readiness(event);
    if (ready.now)
        return false;
    auto timeout = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
    timeout = std::max(std::min(timeout, ready.within), std::chrono::nanoseconds(0));
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(timeout).count();
    const DWORD waitMs = static_cast<DWORD>(std::min<std::int64_t>(ms, INFINITE - 1));
    HANDLE handles[2] = {};
    DWORD count = 0;
    if (ready.handle != -1)
        handles[count++] = handleOf(ready.handle);
    if (wakeHandle != -1)
        handles[count++] = handleOf(wakeHandle);
    const DWORD woke = count > 0 ? WaitForMultipleObjects(count, handles, FALSE, waitMs) : WAIT_TIMEOUT;
    // Nothing to sleep on, or a wait that the system refuses (a handle gone bad):
    // the time passes all the same, so that the caller, which looks at the port
    // again, does not spin.
    if (count == 0 || woke == WAIT_FAILED)
        Sleep(waitMs);
    return wakeHandle != -1 && woke == WAIT_OBJECT_0 + count - 1;
}

} // namespace ql
