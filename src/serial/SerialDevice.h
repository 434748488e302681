#pragma once

#include "serial/LineSettings.h"
#include "serial/Waiter.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ql {

// A failure of a serial device. Texts are in the encoding the system uses for file
// names (UTF-8 on Windows), so the control above can decode them as it does paths.
class SerialError : public std::exception {
public:
    enum class Kind {
        Failed,  // the operation failed
        Refused, // the device does not take these line settings; the old ones stay
        Gone,    // the device went away (unplugged, or the far end closed)
    };

    SerialError(Kind kind, int systemNumber, std::string description)
        : m_kind(kind), m_systemNumber(systemNumber), m_description(std::move(description))
    {
    }

    Kind kind() const noexcept { return m_kind; }
    // The system's own error number (errno, or GetLastError on Windows).
    int systemNumber() const noexcept { return m_systemNumber; }
    // What failed, on which device, and the system's text.
    const std::string& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_description.c_str(); }

private:
    Kind m_kind = Kind::Failed;
    int m_systemNumber = 0;
    std::string m_description;
};

// One open serial device, as the operating system offers it. Each platform has its
// own implementation file; everything else sees only this class. It needs nothing
// beyond the standard library and the system, and every failure throws SerialError.
class SerialDevice {
public:
    // Opens the device for this program alone, raw, with the given line settings.
    // A device that another process holds open is refused, as far as the system
    // lets this process see the others. Input that waited before the open is kept;
    // discardIn() drops it. A refused line setting fails as Kind::Refused.
    SerialDevice(const std::string& path, const LineSettings& settings);
    // Closes as close() does, but never throws.
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    const std::string& path() const { return m_path; }
    // A pseudo-terminal's far end reads at its own pace, unseen: its output queue
    // always reads empty, so "sent" can only mean handed to the system.
    bool isPseudoTerminal() const { return m_pseudoTerminal; }
    // How long a wait for output may see this device take nothing before it counts
    // as stopped: longer where the far end's reading is unseen.
    std::chrono::milliseconds outputStall() const { return m_pseudoTerminal ? kUnseenOutputStall : kOutputStall; }

    // Applies new line settings at once; on refusal the old ones stay.
    void apply(const LineSettings& settings);

    // Characters received and not yet taken, the device's and the program's own.
    std::int64_t waitingIn();
    // Characters handed to write and not yet transmitted.
    std::int64_t waitingOut();

    void discardIn();
    void discardOut();

    // Queues the bytes and returns at once; what the system does not take now is
    // handed on at later calls.
    void write(const char* data, std::size_t size);
    // Takes up to `max` received bytes, none when none waits. The bytes stay valid
    // until the next call on this device.
    std::string_view read(std::size_t max);

    // What a wait for the event can sleep on; the event loop of a window sleeps there.
    PortReadiness readiness(PortEvent event);

    // Blocks until the event may have happened, the deadline passed or `wakeHandle`
    // became readable (-1: none); true when the wake handle woke it. Output counts
    // as sent once what is queued should have reached the wire at the line rate.
    // Where the system allows, a wait that saw input sleeps a few milliseconds more
    // (never past the deadline, and not once woken) so that more can gather.
    bool await(PortEvent event, std::intptr_t wakeHandle, std::chrono::steady_clock::time_point deadline);

    // Lets what is still queued reach the device for as long as the device keeps
    // taking it, then gives the device back as the open found it: line settings,
    // exclusive use and lock. Fails when the device took nothing for `stall`, or
    // went away with output still queued; what was left is then discarded and the
    // device is closed all the same. Closing twice is harmless.
    void close(std::chrono::milliseconds stall);
    void close() { close(outputStall()); }

private:
    // What the open changed and the close gives back; its content is the platform's.
    struct Found;
    enum class Leftover { Delivered, Discard, Keep };

    // The size of one read from the system.
    static constexpr std::size_t kReadChunk = 4096;
    // The system's number for a close that gave up on a stalled queue.
    static const int kStalledError;

    // Writes what the system takes without waiting; returns how much that was.
    std::size_t writeNow(const char* data, std::size_t size);
    void pushOutput();
    std::int64_t fillInput();
    // What the system still holds to transmit; none when the device is gone.
    std::optional<std::int64_t> queuedInSystem();
    bool drain(std::chrono::milliseconds stall);
    void release(Leftover leftover) noexcept;
    [[noreturn]] void fail(int error, const std::string& what,
                           SerialError::Kind kind = SerialError::Kind::Failed) const;
    [[noreturn]] void failGone(int error) const;
    // Refuses line settings that the driver did not take as asked.
    [[noreturn]] void refuse(int error, const std::string& why) const;
    // What the driver made of a request, or an empty text when it took all of it.
    static std::string refusedPart(bool frameTaken, std::uint32_t wantedBaud, std::uint32_t gotBaud);
    // The time one character takes on the line as it is set.
    std::chrono::nanoseconds characterTime() const;

    std::string m_path;
    std::intptr_t m_handle = -1; // the platform's descriptor or handle
    bool m_pseudoTerminal = false;
    LineSettings m_line; // as the last apply() set it
    std::unique_ptr<Found> m_found;
    // Read from the system in chunks, handed out a character at a time.
    std::string m_in;
    std::size_t m_inPos = 0;
    // What the system has not taken yet, in order.
    std::string m_out;
    std::size_t m_outPos = 0;
};

} // namespace ql
