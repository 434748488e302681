#include "transfer/TransferWait.h"

#include "eventlog/MessagePoster.h"
#include "eventlog/Messages.h"

#include <algorithm>

namespace ql {

DeviceNotResponding::DeviceNotResponding()
    : Failure(Failure::kProgramError, msg::kDeviceNotResponding, msg::kAuthorsMessage)
{
}

ReceptionQuiet::ReceptionQuiet(std::chrono::milliseconds limit)
    : Failure(Failure::kProgramError,
              msg::receptionQuiet(std::chrono::duration_cast<std::chrono::seconds>(limit).count()),
              msg::kAuthorsMessage)
{
}

TransferWait::TransferWait(Waiter& waiter, PortEvent event, std::optional<std::chrono::milliseconds> limit,
                           MessagePoster* dots)
    : m_waiter(waiter),
      m_event(event),
      m_dotsPoster(dots),
      m_start(waiter.now())
{
    if (limit)
        m_deadline = m_start + *limit;
}

bool TransferWait::nextPass()
{
    Clock::time_point until = m_deadline;
    if (m_dotsPoster)
        until = std::min(until, m_start + (dotsDue() + 1) * kDotInterval);
    return m_waiter.until(m_event, until);
}

void TransferWait::checkTime()
{
    while (m_dotsPoster && m_dots.size() < dotsDue()) {
        m_dots += QLatin1Char('o');
        m_dotsPoster->showStatus(m_dots);
    }
    if (m_waiter.now() >= m_deadline)
        throw DeviceNotResponding();
}

int TransferWait::dotsDue() const
{
    return static_cast<int>((m_waiter.now() - m_start) / kDotInterval);
}

} // namespace ql
