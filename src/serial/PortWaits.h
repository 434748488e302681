#pragma once

#include <chrono>
#include <cstdint>

namespace ql {

// What a wait on the port is for.
enum class PortEvent { Input, OutputSent };

// What a wait for a port event can sleep on: nothing when the event may have
// happened already; else a system handle that becomes readable (a descriptor) or
// signalled (an event object) when input arrives or the device goes, or writable
// when output held back can move (-1: none), and
// the longest sleep before the port must be looked at again whatever it says.
struct PortReadiness {
    bool now = false;
    std::intptr_t handle = -1;
    std::chrono::nanoseconds within = std::chrono::nanoseconds::max();
    bool writable = false;
};

// How a waiting loop spends the time between two looks at the port when it must
// not spin: it blocks until the port may have what is wanted, the deadline passes
// or the run is asked to end. It decides nothing itself; the caller looks again.
class PortWaits {
public:
    virtual ~PortWaits() = default;
    virtual void block(PortEvent event, std::chrono::steady_clock::time_point deadline) = 0;
};

} // namespace ql
