#pragma once

#include "transfer/TransferPacing.h"

#include <QTimer>

#include <memory>

class QEventLoop;

namespace ql {

class PortNotifier;
class SerialControl;

// The window's pacing: its waits sleep in Qt's event loop until the port has
// input, a timer fires or the operator aborts, so that the window stays live and
// waiting costs no processor time. Waits shorter than a timer can measure, the
// line time of a character, sleep in place between two looks at the window.
class WindowPacing final : public TransferPacing {
public:
    // Ten dots of 1.5 s.
    static constexpr std::chrono::milliseconds kHandshakeTimeout {15000};

    explicit WindowPacing(SerialControl& port);
    ~WindowPacing() override;

protected:
    void sleep(PortEvent event, Clock::time_point deadline) override;
    void wake() override;
    bool attended() const override;

private:
    // Runs what the window has waiting, at most once in kYieldInterval.
    void yieldNowAndThen();
    void afterEvents();
    PortNotifier& notifier(std::unique_ptr<PortNotifier>& slot, std::intptr_t handle, PortEvent event);

    SerialControl& m_port;
    QTimer m_timer;
    std::unique_ptr<PortNotifier> m_readable;
    std::unique_ptr<PortNotifier> m_writable;
    QEventLoop* m_loop = nullptr;
    Clock::time_point m_lastYield {};
    // Whether a window was open when events last ran.
    bool m_attended = true;
};

} // namespace ql
