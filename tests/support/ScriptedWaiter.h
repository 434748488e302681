#pragma once

#include "serial/Waiter.h"

#include <functional>

namespace ql::test {

// Waits on a clock of their own: every pass takes `passTime`, and the script runs
// in it as a click handled there would.
class ScriptedWaiter final : public Waiter {
public:
    // Script
    std::chrono::nanoseconds passTime {5000};
    bool windowsOpen = true;
    std::function<void(long long pass)> onYield;

    // Record
    long long yields = 0;

    bool until(PortEvent, Clock::time_point) override
    {
        ++yields;
        m_now += passTime;
        if (onYield)
            onYield(yields);
        return windowsOpen;
    }
    Clock::time_point now() const override { return m_now; }

private:
    Clock::time_point m_now {};
};

} // namespace ql::test
