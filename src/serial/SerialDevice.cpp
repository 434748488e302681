#include "serial/SerialDevice.h"

#include <algorithm>

// The buffering every platform shares: output the system has not taken yet waits
// here in order, and input is read in chunks and handed out a character at a time.
namespace ql {

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

} // namespace ql
