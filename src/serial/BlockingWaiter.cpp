#include "serial/BlockingWaiter.h"

#include "serial/PortProcedures.h"
#include "serial/SystemSerialControl.h"

namespace ql {

bool BlockingWaiter::until(PortEvent event, Clock::time_point deadline)
{
    if (m_port.await(event, m_wakeHandle, deadline)) {
        if (woken)
            woken();
        forcePortClosed(m_port);
    }
    return true;
}

} // namespace ql
