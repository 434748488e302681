#pragma once

namespace ql {

// The signals that would end the program from outside (interrupt, terminate,
// hang-up, quit, the timers, the user and real-time signals, a CPU limit), turned
// into a file descriptor that becomes readable when one arrives, so that a program
// can take the Abort path from its own event loop or poll() instead of dying in
// the middle of a transfer. Faults of the program itself keep their default.
class TerminationSignals {
public:
    // Catches the signals from now on; calling it again changes nothing.
    static void install();
    // Readable once a signal has arrived, until take() has emptied it.
    static int fd();
    // The last signal that arrived and was not yet taken, 0 when none.
    static int take();
};

// A write past the file-size limit, or to a closed pipe or socket (a reader of
// standard output that went away), then fails with its own error, which the
// writer reports or passes over, instead of ending the program with the records
// unsaved and the port not given back.
void ignoreWriteFailureSignals();

} // namespace ql
