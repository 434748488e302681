#pragma once

#include <chrono>

namespace ql {

// What a wait on the port is for.
enum class PortEvent { Input, OutputSent };

// How a waiting loop spends the time between two looks at the port when it must
// not spin: it blocks until the port may have what is wanted, the deadline passes
// or the run is asked to end. It decides nothing itself; the caller looks again.
class PortWaits {
public:
    virtual ~PortWaits() = default;
    virtual void block(PortEvent event, std::chrono::steady_clock::time_point deadline) = 0;
};

} // namespace ql
