#pragma once

#include "hhcsim/SimulatedDevice.h"

#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace ql::test {

// A simulated device serving in a thread of a test or a benchmark, its link in a
// private folder unless given, its events kept with the time each was reported.
class DeviceThread {
public:
    explicit DeviceThread(hhcsim::DeviceOptions options);
    ~DeviceThread();
    DeviceThread(const DeviceThread&) = delete;
    DeviceThread& operator=(const DeviceThread&) = delete;

    const QString& link() const { return m_link; }
    hhcsim::SimulatedDevice& device() { return *m_device; }

    std::vector<hhcsim::DeviceEvent> events() const;
    std::vector<hhcsim::DeviceEvent> eventsOf(hhcsim::DeviceEvent::Kind kind) const;
    // When the first event of the kind, its text holding `textPart`, was reported.
    std::optional<std::chrono::steady_clock::time_point> firstAt(hhcsim::DeviceEvent::Kind kind,
                                                                 const QString& textPart = {}) const;
    // Waits until `count` events of the kind were reported.
    bool waitForEvents(hhcsim::DeviceEvent::Kind kind, size_t count = 1);
    bool waitUntilFinished();
    bool runResult() const { return m_result; }

private:
    QTemporaryDir m_dir;
    QString m_link;
    mutable std::mutex m_mutex;
    std::vector<hhcsim::DeviceEvent> m_events;
    std::vector<std::chrono::steady_clock::time_point> m_times;
    std::unique_ptr<hhcsim::SimulatedDevice> m_device;
    std::atomic<bool> m_finished {false};
    std::atomic<bool> m_result {false};
    std::thread m_thread;
};

hhcsim::DeviceOptions deviceOptions(hhcsim::Mode mode, QByteArrayList sendRecords = {});

} // namespace ql::test
