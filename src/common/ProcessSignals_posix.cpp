#include "common/ProcessSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>

namespace ql {
namespace {

int g_pipe[2] = {-1, -1};

void onTermination(int signal)
{
    const int savedErrno = errno;
    const auto code = static_cast<unsigned char>(signal);
    // A full pipe already holds a signal to take; this one may go.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &code, 1);
    errno = savedErrno;
}

} // namespace

void TerminationSignals::install()
{
    if (g_pipe[0] >= 0)
        return;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = onTermination;
    sigemptyset(&action.sa_mask);
    // Restarting keeps ordinary blocking calls unaware of the signal; the pipe
    // wakes whoever waits for it.
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGALRM, SIGVTALRM, SIGPROF, SIGUSR1, SIGUSR2,
                             SIGIO, SIGPWR, SIGSTKFLT, SIGXCPU})
        ::sigaction(signal, &action, nullptr);
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal)
        ::sigaction(signal, &action, nullptr);
}

int TerminationSignals::fd()
{
    return g_pipe[0];
}

int TerminationSignals::take()
{
    if (g_pipe[0] < 0)
        return 0;
    int last = 0;
    unsigned char code = 0;
    while (::read(g_pipe[0], &code, 1) == 1)
        last = code;
    return last;
}

void ignoreWriteFailureSignals()
{
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace ql
