#pragma once

#include <chrono>
#include <sys/resource.h>

// What every benchmark measures with: a steady clock and the peak memory.
namespace ql::bench {

using Clock = std::chrono::steady_clock;

inline double seconds(Clock::duration elapsed)
{
    return std::chrono::duration<double>(elapsed).count();
}

// The largest resident set the process has had, in KiB.
inline long peakKb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace ql::bench
