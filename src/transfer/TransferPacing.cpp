#include "transfer/TransferPacing.h"

#include "serial/SystemSerialControl.h"
#include "transfer/TransferWaits.h"

#include <algorithm>
#include <utility>

namespace ql {

void TransferPacing::startWait(WaitKind kind, std::chrono::milliseconds drainStall)
{
    m_kind = kind;
    m_start = now();
    m_deadline = Clock::time_point::max();
    if (kind == WaitKind::Handshake && m_handshakeTimeout.count() > 0)
        m_deadline = m_start + m_handshakeTimeout;
    else if (kind == WaitKind::Drain)
        m_deadline = m_start + drainStall;
}

bool TransferPacing::nextPass()
{
    Clock::time_point until = m_deadline;
    if (m_kind == WaitKind::Handshake)
        until = std::min(until, m_start + (dotsDue() + 1) * kDotInterval);
    sleep(m_kind == WaitKind::Drain ? PortEvent::OutputSent : PortEvent::Input, until);
    return attended();
}

bool TransferPacing::waitExpired() const
{
    return m_kind != WaitKind::Record && now() >= m_deadline;
}

int TransferPacing::dotsDue() const
{
    return m_kind == WaitKind::Handshake ? static_cast<int>((now() - m_start) / kDotInterval) : 0;
}

void TransferPacing::abort(const QString& closedBy)
{
    m_aborted = true;
    m_abortText = closedBy;
    wake();
}

BlockingPacing::BlockingPacing(SystemSerialControl& port, std::chrono::milliseconds handshakeTimeout,
                               qintptr wakeHandle, std::function<QString()> wokenBy)
    : TransferPacing(handshakeTimeout),
      m_port(port),
      m_wakeHandle(wakeHandle),
      m_wokenBy(std::move(wokenBy))
{
}

void BlockingPacing::sleep(PortEvent event, Clock::time_point deadline)
{
    if (!m_port.await(event, m_wakeHandle, deadline))
        return;
    abort(m_wokenBy ? m_wokenBy() : msg::kPortClosedByAbort);
    forcePortClosed(m_port);
}

} // namespace ql
