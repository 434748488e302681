#pragma once

#include "watch/WatchSystem.h"

#include <QString>

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

namespace ql::watch {

class Journal;
class WatchOutput;
struct WatchOptions;

// What every port's watcher shares.
struct WatchShared {
    const WatchOptions& options;
    WatchOutput& output;
    Journal* journal = nullptr; // none when null
    // Set once a received record could be written nowhere.
    std::atomic<bool> recordsLost {false};
    // The signal that ends the program, once one came.
    std::atomic<int> endingSignal {0};
};

// One watched port on a thread of its own: it takes the device it is offered,
// receives from it again and again, and lets it go when the device goes, another is
// offered, or stop() is called. A device it cannot take is said once, and tried
// again on the next offer or after a while. Receptions on other ports never wait
// for it, nor it for them.
class PortWatcher {
public:
    PortWatcher(WatchShared& shared, QString name);
    ~PortWatcher();
    PortWatcher(const PortWatcher&) = delete;
    PortWatcher& operator=(const PortWatcher&) = delete;

    // The device to hold now, empty when it is not there. Called on every change of
    // the system's devices; wakes the watcher only when it waits to take a port, or
    // must let the one it holds go.
    void offer(const QString& device);
    // Ends every wait and the reception in progress, which keeps what it received.
    void stop();

private:
    void run();
    // Receptions on the device until it is let go; the reason it could not be
    // taken, when it could not.
    std::optional<QString> receiveOn(const QString& device);
    bool stopping();
    // Why the port's waits were woken, as the aborted reception tells it.
    QString wakeReason();

    WatchShared& m_shared;
    QString m_name;
    WakeHandle m_wake;
    std::mutex m_mutex;
    QString m_offered;
    QString m_trying; // the device being taken or held; empty while waiting for one
    bool m_stopping = false;
    int m_receptions = 0;
    std::thread m_thread;
};

} // namespace ql::watch
