#include "app/PortNotifier.h"

#include <QWinEventNotifier>

namespace ql {

// The port's handles are event objects, signalled whatever the event waited for.
struct PortNotifier::Watch {
    explicit Watch(std::intptr_t handle)
        : notifier(reinterpret_cast<Qt::HANDLE>(handle))
    {
    }
    QWinEventNotifier notifier;
};

PortNotifier::PortNotifier(std::intptr_t handle, PortEvent, std::function<void()> signalled)
    : m_handle(handle),
      m_watch(std::make_unique<Watch>(handle))
{
    QObject::connect(&m_watch->notifier, &QWinEventNotifier::activated, std::move(signalled));
}

PortNotifier::~PortNotifier() = default;

void PortNotifier::setEnabled(bool enabled)
{
    m_watch->notifier.setEnabled(enabled);
}

} // namespace ql
