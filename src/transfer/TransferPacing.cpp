#include "transfer/TransferPacing.h"

#include "serial/PortProcedures.h"
#include "serial/SystemSerialControl.h"
#include "transfer/TransferHost.h"

namespace ql {

namespace {

using Clock = std::chrono::steady_clock;

// Passes of the drain wait before each record.
constexpr qint32 kDrainPasses = 12345;

} // namespace

void WindowPacing::startWait(WaitKind kind)
{
    m_kind = kind;
    m_passes = 0;
    m_dots.reset();
    if (kind == WaitKind::Handshake)
        m_dots.emplace(m_host);
}

bool WindowPacing::nextPass()
{
    return m_host.YieldToWindows() != 0;
}

bool WindowPacing::waitExpired()
{
    switch (m_kind) {
    case WaitKind::Handshake: return m_dots->countPass();
    case WaitKind::Drain: return ++m_passes > kDrainPasses;
    case WaitKind::Record: return false;
    }
    return false;
}

BlockingPacing::BlockingPacing(SystemSerialControl& port, std::chrono::milliseconds handshakeTimeout,
                               qintptr wakeHandle)
    : m_port(port),
      m_handshakeTimeout(handshakeTimeout),
      m_wakeHandle(wakeHandle)
{
}

void BlockingPacing::startWait(WaitKind kind)
{
    m_kind = kind;
    m_deadline = Clock::time_point::max();
    if (kind == WaitKind::Handshake && m_handshakeTimeout.count() > 0)
        m_deadline = Clock::now() + m_handshakeTimeout;
    else if (kind == WaitKind::Drain)
        m_deadline = Clock::now() + std::chrono::milliseconds(kSendPacedStallMs);
}

bool BlockingPacing::nextPass()
{
    block(m_kind == WaitKind::Drain ? PortEvent::OutputSent : PortEvent::Input, m_deadline);
    return true;
}

bool BlockingPacing::waitExpired()
{
    return m_kind != WaitKind::Record && Clock::now() >= m_deadline;
}

void BlockingPacing::block(PortEvent event, Clock::time_point deadline)
{
    if (!m_port.await(event, m_wakeHandle, deadline))
        return;
    m_aborted = true;
    forcePortClosed(m_port);
}

} // namespace ql
