#include "serial/SerialDevice.h"

#include "common/SystemText.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

// The buffering every platform shares: output the system has not taken yet waits
// here in order, and input is read in chunks and handed out a character at a time.
namespace ql {

namespace {

// The longest a close waits between two looks at a queue that is going out.
constexpr auto kDrainLook = std::chrono::milliseconds(5);

// The system's text as the end of one of this device's sentences.
std::string deviceText(int error)
{
    std::string text = systemText(error);
    while (!text.empty() && text.back() == '.')
        text.pop_back();
    return text;
}

} // namespace

void SerialDevice::fail(int error, const std::string& what, SerialError::Kind kind) const
{
    throw SerialError(kind, error, what + " " + m_path + ": " + deviceText(error));
}

void SerialDevice::failGone(int error) const
{
    throw SerialError(SerialError::Kind::Gone, error, "The device " + m_path + " is gone: " + deviceText(error));
}

void SerialDevice::refuse(int error, const std::string& why) const
{
    throw SerialError(SerialError::Kind::Refused, error,
                      "Cannot set the line of " + m_path + ": " + why + ": " + deviceText(error));
}

std::string SerialDevice::refusedPart(bool frameTaken, std::uint32_t wantedBaud, std::uint32_t gotBaud)
{
    if (!frameTaken)
        return "the driver does not offer this combination of parity, data bits and stop bits";
    // Drivers round the rate to what their clock divides; 2% is what a UART line tolerates.
    const double difference = std::abs(static_cast<double>(gotBaud) - static_cast<double>(wantedBaud));
    if (difference > wantedBaud * 0.02)
        return "the driver does not run at " + std::to_string(wantedBaud) + " baud (it set " + std::to_string(gotBaud)
               + ")";
    return {};
}

std::chrono::nanoseconds SerialDevice::characterTime() const
{
    return std::chrono::nanoseconds(static_cast<std::int64_t>(m_line.bitsPerCharacter() * 1e9 / m_line.baud));
}

void SerialDevice::pushOutput()
{
    m_outPos += writeNow(m_out.data() + m_outPos, m_out.size() - m_outPos);
    if (m_outPos == m_out.size()) {
        m_out.resize(0);
        m_outPos = 0;
    } else if (m_outPos > kReadChunk && m_outPos * 2 > m_out.size()) {
        m_out.erase(0, m_outPos);
        m_outPos = 0;
    }
}

void SerialDevice::write(const char* data, std::size_t size)
{
    pushOutput();
    // Nothing may overtake what is still queued.
    const std::size_t done = m_outPos == m_out.size() ? writeNow(data, size) : 0;
    if (done < size)
        m_out.append(data + done, size - done);
}

std::string_view SerialDevice::read(std::size_t max)
{
    pushOutput();
    if (m_inPos == m_in.size() && fillInput() == 0)
        return {};
    const std::size_t count = std::min(max, m_in.size() - m_inPos);
    const std::string_view bytes(m_in.data() + m_inPos, count);
    m_inPos += count;
    return bytes;
}

void SerialDevice::close(std::chrono::milliseconds stall)
{
    if (m_handle == -1)
        return;
    if (drain(stall)) {
        release(Leftover::Delivered);
        return;
    }
    release(Leftover::Discard);
    throw SerialError(SerialError::Kind::Failed, kStalledError,
                      "The device " + m_path + " took nothing more for " + std::to_string(stall.count())
                          + " ms, or went away: what was queued for it is lost");
}

bool SerialDevice::drain(std::chrono::milliseconds stall)
{
    // Progress is what the program holds plus the system's queue getting smaller.
    // Where the system reports no queue (a pseudo-terminal, Wine's driver), the
    // system taking more of what the program holds shows it.
    std::int64_t least = std::numeric_limits<std::int64_t>::max();
    std::int64_t queued = 0;
    auto lastMove = std::chrono::steady_clock::now();
    for (;;) {
        try {
            pushOutput();
        } catch (const SerialError&) {
            return false;
        }
        const std::optional<std::int64_t> nowQueued = queuedInSystem();
        // A device that is gone keeps nothing; what it had counts as lost.
        if (!nowQueued)
            return m_outPos == m_out.size() && queued == 0;
        queued = std::max<std::int64_t>(*nowQueued, 0);
        const std::int64_t pending = static_cast<std::int64_t>(m_out.size() - m_outPos) + queued;
        if (pending == 0)
            return true;
        const auto now = std::chrono::steady_clock::now();
        if (pending < least) {
            least = pending;
            lastMove = now;
        } else if (now - lastMove >= stall) {
            return false;
        }
        await(PortEvent::OutputSent, -1, now + kDrainLook);
    }
}

} // namespace ql
