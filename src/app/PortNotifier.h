#pragma once

#include "serial/Waiter.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace ql {

// Calls back from Qt's event loop when a handle from the port's readiness signals
// the event: a descriptor's notifier on one system, an event object's on another.
class PortNotifier {
public:
    PortNotifier(std::intptr_t handle, PortEvent event, std::function<void()> signalled);
    ~PortNotifier();
    PortNotifier(const PortNotifier&) = delete;
    PortNotifier& operator=(const PortNotifier&) = delete;

    std::intptr_t handle() const { return m_handle; }
    void setEnabled(bool enabled);

private:
    struct Watch;
    std::intptr_t m_handle;
    std::unique_ptr<Watch> m_watch;
};

} // namespace ql
