#pragma once

namespace ql {

// The signals that ask the program to end (interrupt, terminate, hang-up), turned
// into a file descriptor that becomes readable when one arrives, so that a program
// can take the Abort path from its own event loop or poll() instead of dying in
// the middle of a transfer.
class TerminationSignals {
public:
    // Catches the signals from now on; calling it again changes nothing.
    static void install();
    // Readable once a signal has arrived, until take() has emptied it.
    static int fd();
    // The last signal that arrived and was not yet taken, 0 when none.
    static int take();
};

// A write past the file-size limit then fails with its own error, which the
// writer reports, instead of ending the program with the records unsaved.
void ignoreFileSizeLimitSignal();

} // namespace ql
