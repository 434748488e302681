#include "common/ProcessSignals.h"

#include <windows.h>

#include <atomic>
#include <csignal>

namespace ql {
namespace {

constexpr int kHangUp = 1; // SIGHUP's number on POSIX systems; Windows has none

std::atomic<int> g_last {0};
std::atomic<bool> g_installed {false};

// Windows asks a console program to end through these events rather than signals;
// each is passed on as the signal a POSIX system would send. A window program has
// no console: Windows asks its windows to close instead, which ends it as usual.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT: g_last = SIGINT; return TRUE;
    case CTRL_BREAK_EVENT: g_last = SIGTERM; return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: g_last = kHangUp; return TRUE;
    default: return FALSE;
    }
}

} // namespace

void TerminationSignals::install()
{
    if (!g_installed.exchange(true))
        SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

int TerminationSignals::fd()
{
    // No descriptor that an event loop could watch: callers ask take() instead.
    return -1;
}

int TerminationSignals::take()
{
    return g_last.exchange(0);
}

void ignoreWriteFailureSignals()
{
    // Windows has no such signals: such a write simply fails.
}

} // namespace ql
