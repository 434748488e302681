#include "watch/WatchSystem.h"

#include <windows.h>

namespace ql::watch {

namespace {

// The system tells a console program of no new COM port: it looks this often.
constexpr DWORD kLookInterval = 1500;

HANDLE eventOf(qintptr handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

WakeHandle::WakeHandle()
    : m_handle(reinterpret_cast<qintptr>(CreateEventW(nullptr, TRUE, FALSE, nullptr)))
{
}

WakeHandle::~WakeHandle()
{
    if (m_handle != 0)
        CloseHandle(eventOf(m_handle));
}

qintptr WakeHandle::handle() const
{
    return m_handle;
}

void WakeHandle::raise()
{
    SetEvent(eventOf(m_handle));
}

void WakeHandle::clear()
{
    ResetEvent(eventOf(m_handle));
}

void WakeHandle::wait(std::optional<std::chrono::milliseconds> limit)
{
    WaitForSingleObject(eventOf(m_handle), limit ? static_cast<DWORD>(limit->count()) : INFINITE);
}

struct DeviceChanges::Impl {};

DeviceChanges::DeviceChanges(QStringList, bool)
    : m_impl(std::make_unique<Impl>())
{
}

DeviceChanges::~DeviceChanges() = default;

void DeviceChanges::wait()
{
    // A console event sets the signal to take at once; the next look takes it.
    Sleep(kLookInterval);
}

bool isReopenSignal(int)
{
    // Windows has no hang-up for a rotation: closing the console ends the program.
    return false;
}

} // namespace ql::watch
