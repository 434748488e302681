#pragma once

#include "serial/SerialControl.h"
#include "serial/Waiter.h"

#include <QString>

#include <chrono>
#include <optional>

namespace ql {

// The texts of the window's settings controls, read afresh at every open.
struct LineControls {
    QString port;     // cmbPort
    QString baud;     // cmbBaud
    QString dataBits; // txtData
    QString stopBits; // txtStop
};

// The steps of opening and closing the port, each with its own message.
enum class PortStep { Port, InputOutput, Baud, InputMode, Open, Close };

// A step of opening or closing the port failed: Failure(12345, the step's message).
class PortStepFailed final : public Failure {
public:
    PortStepFailed(PortStep step, QString cause);
    PortStep step() const { return m_step; }
    // What the control said of the failure (the device and the system's reason).
    const QString& cause() const { return m_cause; }

private:
    PortStep m_step;
    QString m_cause;
};

// Configures the control from the settings and opens the port. Fails with
// PortStepFailed naming the step that failed; line settings that the port
// refuses at the open count as the baud rate step.
void OpenSerialPort(SerialControl& MSCommI, const LineControls& controls);

// Closes the port if it is open; fails with PortStepFailed(PortStep::Close).
void CloseSerialPort(SerialControl& MSCommI);

// Closes the port directly if it reads open. Called from the failure endings and
// Abort, where nothing more may escape.
void forcePortClosed(SerialControl& MSCommI) noexcept;

// Writes the text one character at a time, each after the transmit queue has
// emptied, without yielding to the window system: polling without pause, or
// sleeping in `waiter` when given. A character waits at most `stall` for the queue
// (the port's outputStall() unless given). Reports nothing; returns true only
// when every character of the text was handed to Output.
bool SendPaced(SerialControl& MSCommI, const QString& text, std::optional<std::chrono::milliseconds> stall = {},
               Waiter* waiter = nullptr);

} // namespace ql
