#include "app/WindowPacing.h"

#include "serial/SerialControl.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QWindow>

#include <thread>

namespace ql {

namespace {

// How long input may wait for the window while the port keeps it busy.
constexpr auto kYieldInterval = std::chrono::milliseconds(5);
// Shorter waits than this sleep in place: a timer counts whole milliseconds.
constexpr auto kShortestTimedWait = std::chrono::milliseconds(2);

} // namespace

WindowPacing::WindowPacing(SerialControl& port)
    : TransferPacing(kHandshakeTimeout),
      m_port(port)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { wake(); });
}

WindowPacing::~WindowPacing() = default;

void WindowPacing::sleep(PortEvent event, Clock::time_point deadline)
{
    const PortReadiness ready = m_port.readiness(event);
    const auto left = std::min(std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now()),
                               ready.within);
    if (ready.now || aborted() || left <= std::chrono::nanoseconds(0)) {
        yieldNowAndThen();
        return;
    }
    if (left < kShortestTimedWait && (event == PortEvent::OutputSent || ready.handle < 0)) {
        std::this_thread::sleep_for(left);
        yieldNowAndThen();
        return;
    }
    watchHandle(event == PortEvent::Input ? ready.handle : -1);
    m_timer.start(std::chrono::ceil<std::chrono::milliseconds>(left));
    QEventLoop loop;
    m_loop = &loop;
    loop.exec();
    m_loop = nullptr;
    m_timer.stop();
    if (m_notifier)
        m_notifier->setEnabled(false);
    m_lastYield = Clock::now();
}

void WindowPacing::watchHandle(std::intptr_t handle)
{
    if (handle < 0)
        return;
    if (!m_notifier || m_notifier->socket() != handle) {
        m_notifier = std::make_unique<QSocketNotifier>(static_cast<qintptr>(handle), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { wake(); });
    }
    m_notifier->setEnabled(true);
}

void WindowPacing::wake()
{
    // An aborted port's handle is about to close.
    if (m_notifier)
        m_notifier->setEnabled(false);
    if (m_loop)
        m_loop->quit();
}

void WindowPacing::yieldNowAndThen()
{
    const auto now = Clock::now();
    if (now - m_lastYield < kYieldInterval)
        return;
    m_lastYield = now;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool WindowPacing::attended() const
{
    for (const QWindow* window : QGuiApplication::topLevelWindows()) {
        const Qt::WindowType type = window->type();
        if (window->isVisible() && (type == Qt::Window || type == Qt::Dialog))
            return true;
    }
    return false;
}

} // namespace ql
