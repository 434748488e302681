#include "serial/SerialDevice.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <thread>

namespace ql {

const int SerialDevice::kStalledError = ERROR_TIMEOUT;

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kQueueBytes = 4096;
// A write hands the driver what it takes within this time and keeps the rest for
// later calls; the system's timer may stretch it to one tick.
constexpr DWORD kWriteWaitMs = 1;
// How often a wait for input looks at the driver when it cannot wait for the
// driver's event.
constexpr DWORD kAwaitLookMs = 1;
// A UART's transmit FIFO: characters the driver no longer counts but the wire has
// not carried yet.
constexpr double kFifoCharacters = 17.0;
constexpr auto kFifoWaitCap = std::chrono::milliseconds(1000);

HANDLE handleOf(std::intptr_t value)
{
    return reinterpret_cast<HANDLE>(value);
}

std::string narrow(const wchar_t* text, int length)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(std::max(size, 0)), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, length, result.data(), size, nullptr, nullptr);
    return result;
}

std::wstring widen(const std::string& text)
{
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(std::max(size, 0)), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), length, result.data(), size);
    return result;
}

// How long an overlapped read or write may take, though the port's time-outs end it
// at once or within kWriteWaitMs (Wine does not always keep them), and how long an
// operation asked to end may take to end.
constexpr DWORD kIoBoundMs = 200;
// A wait for input on the driver's event still looks at the port this often: the
// signal of a wait that a driver ended on its own may come late or not at all.
constexpr auto kArrivalLook = std::chrono::milliseconds(100);

// One overlapped operation with its own event, buffer and event mask, none of
// which may go while the driver holds the operation.
struct Operation {
    OVERLAPPED io {};
    std::array<char, kQueueBytes> buffer {};
    DWORD mask = 0;

    Operation() { io.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~Operation()
    {
        if (io.hEvent != nullptr)
            CloseHandle(io.hEvent);
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;
};

// Asks the driver to end the operation and gives it kIoBoundMs to do so. Should it
// never end it (Wine, now and then, with a wait for input), the operation is left
// to the driver, a few bytes for the life of the program, rather than freed under
// it: the slot gets a fresh one.
bool settle(HANDLE port, std::unique_ptr<Operation>& slot)
{
    OVERLAPPED& io = slot->io;
    CancelIoEx(port, &io);
    const auto until = Clock::now() + std::chrono::milliseconds(kIoBoundMs);
    // The waits let the system deliver the end it reports.
    while (!HasOverlappedIoCompleted(&io)) {
        if (Clock::now() >= until) {
            static_cast<void>(slot.release());
            slot = std::make_unique<Operation>();
            return false;
        }
        WaitForSingleObject(io.hEvent, 1);
    }
    return true;
}

// Ends a read or write that `started` began, with what it moved in `done`.
BOOL finish(HANDLE port, std::unique_ptr<Operation>& slot, BOOL started, DWORD& done)
{
    done = 0;
    if (!started && GetLastError() != ERROR_IO_PENDING)
        return FALSE;
    if (GetOverlappedResultEx(port, &slot->io, &done, kIoBoundMs, FALSE))
        return TRUE;
    if (GetLastError() != WAIT_TIMEOUT)
        return FALSE;
    if (!settle(port, slot)) {
        SetLastError(ERROR_OPERATION_ABORTED);
        return FALSE;
    }
    return GetOverlappedResult(port, &slot->io, &done, FALSE) || GetLastError() == ERROR_OPERATION_ABORTED;
}

// COM ports above 9 open only under the device namespace, so a bare "COM12" gets it.
std::wstring deviceName(const std::string& path)
{
    const std::wstring name = widen(path);
    if (name.find_first_of(L"\\/:") != std::wstring::npos)
        return name;
    return L"\\\\.\\" + name;
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

// What the driver made of the request, or an empty text when it took all of it.
std::string refusedPart(const DCB& wanted, const DCB& got)
{
    if (wanted.ByteSize != got.ByteSize || wanted.Parity != got.Parity || wanted.StopBits != got.StopBits)
        return "the driver does not offer this combination of parity, data bits and stop bits";
    // Drivers round the rate to what their clock divides; 2% is what a UART line tolerates.
    const double difference = std::abs(static_cast<double>(got.BaudRate) - static_cast<double>(wanted.BaudRate));
    if (difference > wanted.BaudRate * 0.02)
        return "the driver does not run at " + std::to_string(wanted.BaudRate) + " baud (it set "
               + std::to_string(got.BaudRate) + ")";
    return {};
}

} // namespace

struct SerialDevice::Found {
    DCB line {};
    COMMTIMEOUTS timeouts {};
    bool lineChanged = false;
    bool timeoutsChanged = false;
    // The handle is opened for overlapped I/O so that a wait for arriving input can
    // be pending while reads and writes go on.
    std::unique_ptr<Operation> io = std::make_unique<Operation>();
    // Its event is signalled when a character arrives; a window's event loop waits on it.
    std::unique_ptr<Operation> arrival = std::make_unique<Operation>();
    bool arrivalPending = false;
    // Waits in a row that the driver ended with no event.
    int unaskedEnds = 0;
    static constexpr int kUnaskedEndsLimit = 8;

    void endArrivalWait(HANDLE port)
    {
        if (!arrivalPending)
            return;
        // Setting the mask again ends a pending wait, as cancelling does.
        SetCommMask(port, EV_RXCHAR);
        settle(port, arrival);
        arrivalPending = false;
    }

    // The event that the next arriving character signals, or none when the driver
    // offers no such wait.
    HANDLE arrivalEvent(HANDLE port)
    {
        OVERLAPPED& wait = arrival->io;
        if (arrivalPending) {
            if (!HasOverlappedIoCompleted(&wait)) {
                // Some drivers signal the event of a wait that ended before this
                // one began; a character that came meanwhile is in the count the
                // caller reads next.
                ResetEvent(wait.hEvent);
                return wait.hEvent;
            }
            // Ended by a character, or by the driver for its own reasons: either
            // way a new wait begins.
            arrivalPending = false;
            unaskedEnds = arrival->mask == 0 ? unaskedEnds + 1 : 0;
        }
        // A driver that keeps ending the wait unasked cannot hold one (Wine on a
        // pseudo-terminal ends each within milliseconds, hundreds a second): waits
        // then look at the port now and then, which costs far less.
        if (unaskedEnds >= kUnaskedEndsLimit)
            return nullptr;
        ResetEvent(wait.hEvent);
        if (WaitCommEvent(port, &arrival->mask, &wait) || GetLastError() != ERROR_IO_PENDING)
            return nullptr;
        arrivalPending = true;
        return wait.hEvent;
    }
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
        if (m_found->io->io.hEvent == nullptr || m_found->arrival->io.hEvent == nullptr)
            fail(static_cast<int>(GetLastError()), "Cannot open");
        m_found->line.DCBlength = sizeof(m_found->line);
        if (GetFileType(handle) != FILE_TYPE_CHAR || !GetCommState(handle, &m_found->line))
            fail(ERROR_BAD_DEVICE, "Not a serial device:");
        if (!GetCommTimeouts(handle, &m_found->timeouts))
            fail(static_cast<int>(GetLastError()), "Cannot read the time-outs of");
        // Only a request: drivers that keep their own queue sizes refuse it, and work.
        SetupComm(handle, kQueueBytes, kQueueBytes);
        COMMTIMEOUTS timeouts {};
        // With both read totals 0, this makes a read return at once with what waits.
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.WriteTotalTimeoutConstant = kWriteWaitMs;
        m_found->timeoutsChanged = true;
        if (!SetCommTimeouts(handle, &timeouts))
            fail(static_cast<int>(GetLastError()), "Cannot set the time-outs of");
        apply(settings);
        // Without it a wait for input falls back to looking now and then.
        SetCommMask(handle, EV_RXCHAR);
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

std::string SerialDevice::systemText(int error)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&buffer), 0,
                                        nullptr);
    std::string text = length > 0 ? narrow(buffer, static_cast<int>(length)) : std::string();
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (text.empty())
        text = "system error " + std::to_string(static_cast<DWORD>(error));
    return text;
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
        refused = refusedPart(wanted, got);
    }
    if (!refused.empty()) {
        SetCommState(handle, &before);
        throw SerialError(SerialError::Kind::Refused, static_cast<int>(error),
                          "Cannot set the line of " + m_path + ": " + refused + ": "
                              + systemText(static_cast<int>(error)));
    }
}

std::size_t SerialDevice::writeNow(const char* data, std::size_t size)
{
    const HANDLE handle = handleOf(m_handle);
    std::size_t done = 0;
    while (done < size) {
        std::unique_ptr<Operation>& op = m_found->io;
        const DWORD chunk = static_cast<DWORD>(std::min(size - done, op->buffer.size()));
        std::copy_n(data + done, chunk, op->buffer.data());
        DWORD written = 0;
        // A write that timed out took what the driver could hold; some drivers
        // report the time-out as a failure.
        if (!finish(handle, op, WriteFile(handle, op->buffer.data(), chunk, nullptr, &op->io), written)) {
            const DWORD error = GetLastError();
            if (error != ERROR_TIMEOUT && error != ERROR_SEM_TIMEOUT)
                failGone(static_cast<int>(error));
        }
        if (written == 0)
            break;
        done += written;
    }
    return done;
}

std::int64_t SerialDevice::fillInput()
{
    if (m_inPos == m_in.size()) {
        m_in.resize(0);
        m_inPos = 0;
    }
    // An overlapped read may wait for its first byte whatever the time-outs say, so
    // it asks for no more than the driver holds. A device that went away fails the
    // look at the driver's status.
    const HANDLE handle = handleOf(m_handle);
    DWORD errors = 0;
    COMSTAT status {};
    if (!ClearCommError(handle, &errors, &status))
        failGone(static_cast<int>(GetLastError()));
    const DWORD wanted = std::min<DWORD>({status.cbInQue, static_cast<DWORD>(kReadChunk), kQueueBytes});
    if (wanted == 0)
        return 0;
    std::unique_ptr<Operation>& op = m_found->io;
    DWORD got = 0;
    if (!finish(handle, op, ReadFile(handle, op->buffer.data(), wanted, nullptr, &op->io), got))
        failGone(static_cast<int>(GetLastError()));
    m_in.insert(m_in.end(), op->buffer.data(), op->buffer.data() + got);
    return got;
}

std::int64_t SerialDevice::waitingIn()
{
    if (m_outPos < m_out.size())
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
    if (m_outPos < m_out.size())
        pushOutput();
    // This also clears a line error, which would otherwise be reported again and again.
    DWORD errors = 0;
    COMSTAT status {};
    if (!ClearCommError(handleOf(m_handle), &errors, &status))
        failGone(static_cast<int>(GetLastError()));
    return static_cast<std::int64_t>(status.cbOutQue) + static_cast<std::int64_t>(m_out.size() - m_outPos);
}

void SerialDevice::discardIn()
{
    m_in.clear();
    m_inPos = 0;
    // A device that is gone has nothing left to discard.
    PurgeComm(handleOf(m_handle), PURGE_RXABORT | PURGE_RXCLEAR);
}

void SerialDevice::discardOut()
{
    m_out.clear();
    m_outPos = 0;
    PurgeComm(handleOf(m_handle), PURGE_TXABORT | PURGE_TXCLEAR);
}

std::optional<std::int64_t> SerialDevice::queuedInSystem()
{
    DWORD errors = 0;
    COMSTAT status {};
    if (!ClearCommError(handleOf(m_handle), &errors, &status))
        return std::nullopt;
    return status.cbOutQue;
}

void SerialDevice::release(Leftover leftover) noexcept
{
    const HANDLE handle = handleOf(m_handle);
    m_handle = -1;
    // What cannot go out is dropped, so that closing the handle does not wait for it.
    if (leftover == Leftover::Discard)
        PurgeComm(handle, PURGE_TXABORT | PURGE_TXCLEAR);
    m_found->endArrivalWait(handle);
    // The driver keeps the settings after the close, so they go back before it.
    // After a delivered queue the last characters may still be in the UART's FIFO,
    // which no count shows: they leave at the line's own rate first.
    if (m_found->lineChanged) {
        DCB now {};
        now.DCBlength = sizeof(now);
        if (leftover == Leftover::Delivered && GetCommState(handle, &now) && now.BaudRate > 0) {
            const double bits = 2.0 + now.ByteSize + (now.Parity == NOPARITY ? 0.0 : 1.0)
                              + (now.StopBits == ONESTOPBIT ? 0.0 : 1.0);
            const auto fifo = std::chrono::milliseconds(static_cast<std::int64_t>(
                std::ceil(kFifoCharacters * bits * 1000.0 / static_cast<double>(now.BaudRate))));
            std::this_thread::sleep_for(std::min<std::chrono::milliseconds>(fifo, kFifoWaitCap));
        }
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
    const HANDLE handle = handleOf(m_handle);
    if (event == PortEvent::Input && m_inPos < m_in.size())
        return {true};
    // Armed before the driver's count is read, so that no character slips between.
    const HANDLE arrival = event == PortEvent::Input ? m_found->arrivalEvent(handle) : nullptr;
    DWORD errors = 0;
    COMSTAT status {};
    // A device that went away is ready: the next look at the port reports it.
    if (!ClearCommError(handle, &errors, &status))
        return {true};
    const auto look = std::chrono::milliseconds(kAwaitLookMs);
    if (event == PortEvent::Input) {
        if (status.cbInQue > 0)
            return {true};
        if (arrival == nullptr)
            return {false, -1, look};
        return {false, reinterpret_cast<std::intptr_t>(arrival), kArrivalLook};
    }
    const std::int64_t queued = static_cast<std::int64_t>(m_out.size() - m_outPos) + status.cbOutQue;
    if (queued == 0)
        return {true};
    // No event tells that the line has sent a character: wait for the time the
    // queue needs at the line rate, looking now and then while the program holds
    // output the driver had no room for.
    DCB line {};
    line.DCBlength = sizeof(line);
    if (!GetCommState(handle, &line) || line.BaudRate == 0)
        return {false, -1, look};
    const double bits = 2.0 + line.ByteSize + (line.Parity == NOPARITY ? 0.0 : 1.0)
                      + (line.StopBits == ONESTOPBIT ? 0.0 : 1.0);
    const auto lineTime = std::chrono::nanoseconds(
        static_cast<std::int64_t>(static_cast<double>(queued) * bits * 1e9 / line.BaudRate));
    return {false, -1, std::max<std::chrono::nanoseconds>(lineTime, look * 2)};
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
    if (count == 0) {
        Sleep(waitMs);
        return false;
    }
    const DWORD woke = WaitForMultipleObjects(count, handles, FALSE, waitMs);
    return wakeHandle != -1 && woke == WAIT_OBJECT_0 + count - 1;
}

} // namespace ql
