#pragma once

#include <csignal>
#include <functional>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ql::test {

// Another process that takes something (a device, a lock) with `take` and holds it,
// as a program using it would, until it is killed.
class HeldByAnotherProcess {
public:
    explicit HeldByAnotherProcess(const std::function<bool()>& take)
    {
        int ready[2];
        if (pipe(ready) != 0)
            return;
        m_child = fork();
        if (m_child == 0) {
            const char taken = take() ? 'y' : 'n';
            if (write(ready[1], &taken, 1) != 1)
                _exit(2);
            for (;;)
                pause();
        }
        close(ready[1]);
        pollfd wait {ready[0], POLLIN, 0};
        char taken = 0;
        m_holding = m_child > 0 && poll(&wait, 1, 10000) == 1 && read(ready[0], &taken, 1) == 1 && taken == 'y';
        close(ready[0]);
    }
    ~HeldByAnotherProcess() { kill(); }
    HeldByAnotherProcess(const HeldByAnotherProcess&) = delete;
    HeldByAnotherProcess& operator=(const HeldByAnotherProcess&) = delete;

    bool holding() const { return m_holding; }

    // Ends the process as a crash would, leaving whatever it held; true once it is gone.
    bool kill()
    {
        if (m_child <= 0)
            return false;
        ::kill(m_child, SIGKILL);
        int status = 0;
        const bool gone = waitpid(m_child, &status, 0) == m_child;
        m_child = -1;
        return gone;
    }

private:
    pid_t m_child = -1;
    bool m_holding = false;
};

} // namespace ql::test
