#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <chrono>
#include <memory>
#include <optional>

namespace ql::watch {

// A handle that one port's waits sleep on besides the port, so that another thread
// can end them: readable (signalled) from raise() until clear().
class WakeHandle {
public:
    WakeHandle();
    ~WakeHandle();
    WakeHandle(const WakeHandle&) = delete;
    WakeHandle& operator=(const WakeHandle&) = delete;

    qintptr handle() const;
    void raise();
    void clear();
    // Sleeps until raised, or until `limit` passed when there is one.
    void wait(std::optional<std::chrono::milliseconds> limit);

private:
    qintptr m_handle = -1;
};

// Sleeps until a serial device may have come or gone, or a signal arrived. On
// Linux it wakes only then: it watches the folders of the given paths (their
// nearest existing ones, looked for again at every wait), with `systemDevices` the
// folder of the system's own devices, and the signals' handle. Where the system
// tells nothing, it looks every second or so.
class DeviceChanges {
public:
    DeviceChanges(QStringList paths, bool systemDevices);
    ~DeviceChanges();
    DeviceChanges(const DeviceChanges&) = delete;
    DeviceChanges& operator=(const DeviceChanges&) = delete;

    void wait();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Whether the signal asks for the journal to be opened again (a hang-up, as
// logrotate sends) rather than for the program to end.
bool isReopenSignal(int signal);

} // namespace ql::watch
