#include "app/WindowWaiter.h"

#include "app/PortNotifier.h"
#include "serial/PortProcedures.h"
#include "serial/SerialControl.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QWindow>

#include <thread>
#include <utility>

namespace ql {

namespace {

// How long input may wait for the window while the port keeps it busy.
constexpr auto kYieldInterval = std::chrono::milliseconds(5);
// Shorter waits than this sleep in place: a timer counts whole milliseconds.
constexpr auto kShortestTimedWait = std::chrono::milliseconds(2);
// A timer takes no more than this; a wait without end looks again after it.
constexpr auto kLongestTimedWait = std::chrono::hours(1);

} // namespace

WindowWaiter::WindowWaiter(SerialControl& port, std::function<void()> quitting)
    : m_port(port),
      m_quitting(std::move(quitting))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { wake(); });
}

WindowWaiter::~WindowWaiter() = default;

bool WindowWaiter::until(PortEvent event, Clock::time_point deadline)
{
    const PortReadiness ready = m_port.readiness(event);
    const auto left = std::min(std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now()),
                               ready.within);
    // Abort closes the port, which is then ready at once.
    if (ready.now || left <= std::chrono::nanoseconds(0)) {
        yieldNowAndThen();
        return m_attended;
    }
    const bool onHandle = ready.handle >= 0 && (event == PortEvent::Input || ready.writable);
    if (left < kShortestTimedWait && !onHandle) {
        std::this_thread::sleep_for(left);
        yieldNowAndThen();
        return m_attended;
    }
    PortNotifier* watched = nullptr;
    if (onHandle) {
        watched = &notifier(event == PortEvent::Input ? m_readable : m_writable, ready.handle, event);
        watched->setEnabled(true);
    }
    const std::chrono::nanoseconds timed = std::min<std::chrono::nanoseconds>(left, kLongestTimedWait);
    m_timer.start(std::chrono::ceil<std::chrono::milliseconds>(timed));
    QEventLoop loop;
    m_loop = &loop;
    const int ended = loop.exec();
    m_loop = nullptr;
    m_timer.stop();
    if (watched)
        watched->setEnabled(false);
    afterEvents();
    // The application is quitting: every event loop returns at once from now on, so
    // no wait would sleep again and a reception would spin for ever.
    if (ended < 0) {
        m_quitting();
        forcePortClosed(m_port);
    }
    return m_attended;
}

PortNotifier& WindowWaiter::notifier(std::unique_ptr<PortNotifier>& slot, std::intptr_t handle, PortEvent event)
{
    if (!slot || slot->handle() != handle)
        slot = std::make_unique<PortNotifier>(handle, event, [this] { wake(); });
    return *slot;
}

void WindowWaiter::wake()
{
    // An aborted port's handle is about to close.
    for (PortNotifier* watched : {m_readable.get(), m_writable.get()}) {
        if (watched)
            watched->setEnabled(false);
    }
    if (m_loop)
        m_loop->quit();
}

void WindowWaiter::yieldNowAndThen()
{
    if (Clock::now() - m_lastYield < kYieldInterval)
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    afterEvents();
}

void WindowWaiter::afterEvents()
{
    m_lastYield = Clock::now();
    m_attended = false;
    for (const QWindow* window : QGuiApplication::topLevelWindows()) {
        const Qt::WindowType type = window->type();
        if (window->isVisible() && (type == Qt::Window || type == Qt::Dialog))
            m_attended = true;
    }
}

} // namespace ql
