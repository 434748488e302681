#include "serial/SerialDevice.h"

#include <algorithm>
#include <limits>
#include <string>

// The buffering every platform shares: output the system has not taken yet waits
// here in order, and input is read in chunks and handed out a character at a time.
namespace ql {

namespace {

// The longest a close waits between two looks at a queue that is going out.
constexpr auto kDrainLook = std::chrono::milliseconds(5);

} // namespace

void SerialDevice::fail(int error, const std::string& what) const
{
    throw SerialError(SerialError::Kind::Failed, error, what + " " + m_path + ": " + systemText(error));
}

void SerialDevice::failGone(int error) const
{
    throw SerialError(SerialError::Kind::Gone, error, "The device " + m_path + " is gone: " + systemText(error));
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
    if (m_outPos < m_out.size())
        pushOutput();
    // Nothing may overtake what is still queued.
    const std::size_t done = m_outPos == m_out.size() ? writeNow(data, size) : 0;
    if (done < size)
        m_out.append(data + done, size - done);
}

std::string_view SerialDevice::read(std::size_t max)
{
    if (m_outPos < m_out.size())
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
        if (m_outPos < m_out.size()) {
            try {
                pushOutput();
            } catch (const SerialError&) {
                return false;
            }
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
