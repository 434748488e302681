#pragma once

#include "serial/LineSettings.h"
#include "serial/PortWaits.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <chrono>

namespace ql {

// One open serial device, as the operating system offers it. Each platform has its
// own implementation file; everything else sees only this class. Every failure
// throws ql::Failure with the system's error number and text and the device path.
class SerialDevice {
public:
    // Opens the device for this program alone, raw, with the given line settings,
    // and discards the input that waited before the open.
    SerialDevice(const QString& path, const LineSettings& settings);
    // Closes as close() does.
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    const QString& path() const { return m_path; }

    // Applies new line settings at once; on refusal the old ones stay.
    void apply(const LineSettings& settings);

    // Characters received and not yet taken, the device's and the program's own.
    qint64 waitingIn();
    // Characters handed to write and not yet transmitted.
    qint64 waitingOut();

    void discardIn();
    void discardOut();

    // Queues the bytes and returns at once; what the system does not take now is
    // handed on at later calls.
    void write(const char* data, qsizetype size);
    // Takes up to `max` received characters as Latin-1 text, "" when none waits.
    QString read(qsizetype max);

    // Blocks until the event may have happened, the deadline passed or `wakeHandle`
    // became readable (-1: none); true when the wake handle woke it. Output counts
    // as sent once what is queued should have reached the wire at the line rate.
    bool await(PortEvent event, qintptr wakeHandle, std::chrono::steady_clock::time_point deadline);

    // Lets what is still queued reach the wire, within a bound that follows from
    // the baud rate, then closes. Closing twice is harmless.
    void close();

private:
    // Writes what the system takes without waiting; returns how much that was.
    qsizetype writeNow(const char* data, qsizetype size);
    void pushOutput();
    qint64 fillInput();
    [[noreturn]] void fail(int error, const QString& what) const;
    [[noreturn]] void failGone(int error) const;

    QString m_path;
    qintptr m_handle = -1; // the platform's descriptor or handle
    LineSettings m_settings;
    // Read from the system in chunks, handed out a character at a time.
    QByteArray m_in;
    qsizetype m_inPos = 0;
    // What the system has not taken yet, in order.
    QByteArray m_out;
    qsizetype m_outPos = 0;
};

} // namespace ql
