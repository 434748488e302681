#include "app/PortNotifier.h"

#include <QSocketNotifier>

namespace ql {

struct PortNotifier::Watch {
    Watch(std::intptr_t handle, PortEvent event)
        : notifier(static_cast<qintptr>(handle), event == PortEvent::Input ? QSocketNotifier::Read : QSocketNotifier::Write)
    {
    }
    QSocketNotifier notifier;
};

PortNotifier::PortNotifier(std::intptr_t handle, PortEvent event, std::function<void()> signalled)
    : m_handle(handle),
      m_watch(std::make_unique<Watch>(handle, event))
{
    QObject::connect(&m_watch->notifier, &QSocketNotifier::activated, std::move(signalled));
}

PortNotifier::~PortNotifier() = default;

void PortNotifier::setEnabled(bool enabled)
{
    m_watch->notifier.setEnabled(enabled);
}

} // namespace ql
