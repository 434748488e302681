#pragma once

#include "serial/Waiter.h"

#include <QtGlobal>

#include <functional>

namespace ql {

class SystemSerialControl;

// The waiter of a program without a window: it sleeps on the port and a clock. A
// readable wake handle acts as Abort: `woken` is told, and the port closes.
class BlockingWaiter final : public Waiter {
public:
    BlockingWaiter(SystemSerialControl& port, qintptr wakeHandle) : m_port(port), m_wakeHandle(wakeHandle) {}

    bool until(PortEvent event, Clock::time_point deadline) override;

    std::function<void()> woken;

private:
    SystemSerialControl& m_port;
    qintptr m_wakeHandle = -1;
};

} // namespace ql
