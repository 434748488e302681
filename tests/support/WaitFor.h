#pragma once

#include <chrono>
#include <thread>

namespace ql::test {

// Polls the condition until it holds or the bound runs out; never a blind sleep.
template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds bound = std::chrono::seconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace ql::test
