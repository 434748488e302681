#include "common/ProcessSignals.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <csignal>

namespace ql {
namespace {

constexpr int kHangUp = 1; // SIGHUP's number on POSIX systems, which Windows lacks

int g_pipe[2] = {-1, -1};

// Windows asks a console program to end through these events rather than signals;
// each is passed on as the signal a POSIX system would send. The handler runs on a
// thread of its own, so the pipe is all it touches.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    unsigned char code = 0;
    switch (event) {
    case CTRL_C_EVENT: code = SIGINT; break;
    case CTRL_BREAK_EVENT: code = SIGTERM; break;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: code = kHangUp; break;
    default: return FALSE;
    }
    _write(g_pipe[1], &code, 1);
    return TRUE;
}

} // namespace

void TerminationSignals::install()
{
    if (g_pipe[0] >= 0)
        return;
    if (_pipe(g_pipe, 64, _O_BINARY | _O_NOINHERIT) != 0)
        return;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

int TerminationSignals::fd()
{
    return g_pipe[0];
}

int TerminationSignals::take()
{
    if (g_pipe[0] < 0)
        return 0;
    // A read of an empty pipe would block: ask first what waits.
    const HANDLE reader = reinterpret_cast<HANDLE>(_get_osfhandle(g_pipe[0]));
    int last = 0;
    DWORD waiting = 0;
    while (PeekNamedPipe(reader, nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0) {
        unsigned char code = 0;
        if (_read(g_pipe[0], &code, 1) != 1)
            break;
        last = code;
    }
    return last;
}

void ignoreFileSizeLimitSignal()
{
    // Windows has no file-size limit signal: such a write simply fails.
}

} // namespace ql
