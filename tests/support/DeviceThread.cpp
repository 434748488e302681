#include "support/DeviceThread.h"

#include "support/WaitFor.h"

namespace ql::test {

using hhcsim::DeviceEvent;

DeviceThread::DeviceThread(hhcsim::DeviceOptions options)
{
    m_link = options.linkPath.isEmpty() ? m_dir.filePath(QStringLiteral("hhc")) : options.linkPath;
    options.linkPath = m_link;
    m_device = std::make_unique<hhcsim::SimulatedDevice>(std::move(options), [this](const DeviceEvent& event) {
        const auto now = std::chrono::steady_clock::now();
        const std::lock_guard lock(m_mutex);
        m_events.push_back(event);
        m_times.push_back(now);
    });
    m_thread = std::thread([this] {
        m_result = m_device->run();
        m_finished = true;
    });
}

DeviceThread::~DeviceThread()
{
    m_device->stop();
    m_thread.join();
}

std::vector<DeviceEvent> DeviceThread::events() const
{
    const std::lock_guard lock(m_mutex);
    return m_events;
}

std::vector<DeviceEvent> DeviceThread::eventsOf(DeviceEvent::Kind kind) const
{
    std::vector<DeviceEvent> out;
    for (const DeviceEvent& event : events()) {
        if (event.kind == kind)
            out.push_back(event);
    }
    return out;
}

std::optional<std::chrono::steady_clock::time_point> DeviceThread::firstAt(DeviceEvent::Kind kind,
                                                                           const QString& textPart) const
{
    const std::lock_guard lock(m_mutex);
    for (size_t i = 0; i < m_events.size(); ++i) {
        if (m_events[i].kind == kind && m_events[i].text.contains(textPart))
            return m_times[i];
    }
    return std::nullopt;
}

bool DeviceThread::waitForEvents(DeviceEvent::Kind kind, size_t count)
{
    return waitFor([&] { return eventsOf(kind).size() >= count; });
}

bool DeviceThread::waitUntilFinished()
{
    return waitFor([&] { return m_finished.load(); });
}

hhcsim::DeviceOptions deviceOptions(hhcsim::Mode mode, QByteArrayList sendRecords)
{
    hhcsim::DeviceOptions options;
    options.mode = mode;
    options.sendRecords = std::move(sendRecords);
    // Short enough to keep the tests quick, long enough for a PC on a loaded machine.
    options.quiet = std::chrono::milliseconds(300);
    return options;
}

} // namespace ql::test
