#pragma once

#include <chrono>
#include <cstdint>

namespace ql {

// What a wait on the port is for.
enum class PortEvent { Input, OutputSent };

// How long a wait for output may see the device take nothing before it counts as
// stopped, where the system shows the transmit queue: it drains at the line rate.
inline constexpr std::chrono::milliseconds kOutputStall {3000};

// The same where the far end's reading is unseen (a pseudo-terminal): the writer
// gets room back only when the far end's line discipline moves a block into its
// 4096-character read buffer (measured on Linux 6.18, readers at 25 to 1000
// characters a second: blocks of 512 for one-character writes, up to 2.3 K for
// larger ones), so a steady reader at the slowest rate supported, 25 characters a
// second, may show no progress for 4096 characters / 25 a second = 164 s.
inline constexpr std::chrono::milliseconds kUnseenOutputStall {4096 * 1000 / 25};

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

// How a wait spends the time between two looks at the port when it must not spin:
// it sleeps until the port may have the event, the deadline passes or Abort. It
// decides nothing itself; the caller looks again.
class Waiter {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~Waiter() = default;
    // False when nobody is left to end a wait: no window is open.
    virtual bool until(PortEvent event, Clock::time_point deadline) = 0;
    // The clock of the deadlines.
    virtual Clock::time_point now() const { return Clock::now(); }
};

} // namespace ql
