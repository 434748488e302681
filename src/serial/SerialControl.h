#pragma once

#include "common/Failure.h"
#include "serial/Waiter.h"

#include <QString>
#include <QtGlobal>

namespace ql {

// The port refused the line settings: thrown by the open or by a change of the
// settings, so that a refusal is told apart from a port that is missing or in use.
class LineSettingsRefused final : public Failure {
public:
    using Failure::Failure;
};

enum class InputMode { Text = 0, Binary = 1 };

// The serial communications control: the nine properties the program uses, each a
// plain get or set. Every failing operation throws ql::Failure with a description
// (for the system control, the operating system's own text).
//
// Text is 8-bit: each character of a QString stands for one byte (Latin-1), so every
// byte value 0x00 to 0xFF travels unchanged.
class SerialControl {
public:
    virtual ~SerialControl() = default;

    // Selects the port the next open acts on.
    virtual void setCommPort(qint16 port) = 0;
    virtual qint16 CommPort() const = 0;

    // Line settings text such as "115200,N,8,1"; a read returns the text last set.
    virtual void setSettings(const QString& settings) = 0;
    virtual QString Settings() const = 0;

    // At most this many characters per read of Input (the program sets 1).
    virtual void setInputLen(qint16 length) = 0;
    virtual void setInputMode(InputMode mode) = 0;

    // Received characters waiting; setting 0 discards them (also while closed).
    virtual qint16 InBufferCount() = 0;
    virtual void setInBufferCount(qint16 count) = 0;

    // Characters not yet transmitted, 0 once all are sent; setting 0 discards them
    // (also while closed).
    virtual qint16 OutBufferCount() = 0;
    virtual void setOutBufferCount(qint16 count) = 0;

    // Setting true opens the selected port with the current settings, false closes
    // it after what is queued has gone out (setting OutBufferCount to 0 first
    // discards it instead).
    virtual bool PortOpen() const = 0;
    virtual void setPortOpen(bool open) = 0;

    // Queues the characters and returns without waiting.
    virtual void setOutput(const QString& text) = 0;

    // Returns and removes the next waiting character, or "" at once when none waits.
    virtual QString Input() = 0;

    // What a wait for the event can sleep on. A control that cannot tell is looked
    // at again at once.
    virtual PortReadiness readiness(PortEvent) { return {true}; }

    // Whether the open port is one whose far end's reading nobody can see (a
    // pseudo-terminal), so that an empty output queue only means handed to the system.
    virtual bool deliveryUnseen() const { return false; }

    // How long a wait for output (a send's, a close's) may see the open port take
    // nothing before the device counts as stopped.
    virtual std::chrono::milliseconds outputStall() const { return kOutputStall; }
};

} // namespace ql
