#pragma once

#include "transfer/TransferPacing.h"

#include <functional>

namespace ql::test {

// The transfers' waits on a clock of their own: every pass takes `passTime`, and
// the script runs in it as a click handled there would.
class ScriptedPacing final : public TransferPacing {
public:
    ScriptedPacing() : TransferPacing(std::chrono::seconds(15)) {}

    // Script
    std::chrono::nanoseconds passTime {5000};
    bool windowsOpen = true;
    std::function<void(long long pass)> onYield;

    // Record
    long long yields = 0;

    // The characters of a record are sent without a pass of their own.
    PortWaits* characterWaits() override { return nullptr; }

protected:
    Clock::time_point now() const override { return m_now; }
    void sleep(PortEvent, Clock::time_point) override
    {
        ++yields;
        m_now += passTime;
        if (onYield)
            onYield(yields);
    }
    bool attended() const override { return windowsOpen; }

private:
    Clock::time_point m_now {};
};

} // namespace ql::test
