#pragma once

#include "serial/Waiter.h"

#include <QTimer>

#include <functional>
#include <memory>

class QEventLoop;

namespace ql {

class PortNotifier;
class SerialControl;

// The window's waiter: its waits sleep in Qt's event loop until the port has
// input, a timer fires or the operator aborts, so that the window stays live and
// waiting costs no processor time. Waits shorter than a timer can measure, the
// line time of a character, sleep in place between two looks at the window.
class WindowWaiter final : public Waiter {
public:
    // `quitting` is told when the application quits during a wait, before the port
    // closes: the run is to end.
    WindowWaiter(SerialControl& port, std::function<void()> quitting);
    ~WindowWaiter() override;

    bool until(PortEvent event, Clock::time_point deadline) override;
    // Ends a wait at once, for Abort.
    void wake();

private:
    // Runs what the window has waiting, at most once in kYieldInterval.
    void yieldNowAndThen();
    void afterEvents();
    PortNotifier& notifier(std::unique_ptr<PortNotifier>& slot, std::intptr_t handle, PortEvent event);

    SerialControl& m_port;
    std::function<void()> m_quitting;
    QTimer m_timer;
    std::unique_ptr<PortNotifier> m_readable;
    std::unique_ptr<PortNotifier> m_writable;
    QEventLoop* m_loop = nullptr;
    Clock::time_point m_lastYield {};
    // Whether a window was open when events last ran.
    bool m_attended = true;
};

} // namespace ql
