#pragma once

#include "serial/LineSettings.h"
#include "serial/PortWaits.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <chrono>
#include <memory>

namespace ql {

// One open serial device, as the operating system offers it. Each platform has its
// own implementation file; everything else sees only this class. Every failure
// throws ql::Failure with the system's error number and text and the device path.
class SerialDevice {
public:
    // How long a close waits while the device takes nothing of what is queued.
    static constexpr std::chrono::milliseconds kDrainStall {3000};

    // Opens the device for this program alone, raw, with the given line settings.
    // A device that another process holds open is refused, as far as the system
    // lets this process see the others. Input that waited before the open is kept;
    // discardIn() drops it. A refused line setting throws LineSettingsRefused.
    SerialDevice(const QString& path, const LineSettings& settings);
    // Closes as close() does, without throwing.
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

    // Lets what is still queued reach the device for as long as the device keeps
    // taking it, then gives the device back as the open found it: line settings,
    // exclusive use and lock. Fails when the device took nothing for `stall`, or
    // went away with output still queued; what was left is then discarded and the
    // device is closed all the same. Closing twice is harmless.
    void close(std::chrono::milliseconds stall = kDrainStall);

private:
    // What the open changed and the close gives back; its content is the platform's.
    struct Found;
    enum class Leftover { Delivered, Discard, Keep };

    // Writes what the system takes without waiting; returns how much that was.
    qsizetype writeNow(const char* data, qsizetype size);
    void pushOutput();
    qint64 fillInput();
    bool drain(std::chrono::milliseconds stall);
    void release(Leftover leftover) noexcept;
    [[noreturn]] void fail(int error, const QString& what) const;
    [[noreturn]] void failGone(int error) const;

    QString m_path;
    qintptr m_handle = -1; // the platform's descriptor or handle
    std::unique_ptr<Found> m_found;
    // Read from the system in chunks, handed out a character at a time.
    QByteArray m_in;
    qsizetype m_inPos = 0;
    // What the system has not taken yet, in order.
    QByteArray m_out;
    qsizetype m_outPos = 0;
};

} // namespace ql
