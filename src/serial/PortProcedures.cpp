#include "serial/PortProcedures.h"

#include "common/Failure.h"
#include "eventlog/Messages.h"
#include "serial/NumericText.h"

#include <chrono>
#include <exception>
#include <utility>

namespace ql {

namespace {

const QString& stepMessage(PortStep step)
{
    switch (step) {
    case PortStep::Port: return msg::kErrorSettingPort;
    case PortStep::InputOutput: return msg::kErrorSettingIo;
    case PortStep::Baud: return msg::kErrorSettingBaud;
    case PortStep::InputMode: return msg::kErrorSettingInputMode;
    case PortStep::Open: return msg::kErrorOpeningPort;
    case PortStep::Close: return msg::kErrorClosingPort;
    }
    return msg::kErrorOpeningPort;
}

QString causeOf(const std::exception& failure)
{
    if (const auto* own = dynamic_cast<const Failure*>(&failure))
        return own->description();
    return QString::fromLocal8Bit(failure.what());
}

} // namespace

PortStepFailed::PortStepFailed(PortStep step, QString cause)
    : Failure(Failure::kProgramError, stepMessage(step)),
      m_step(step),
      m_cause(std::move(cause))
{
}

void OpenSerialPort(SerialControl& MSCommI, const LineControls& controls)
{
    PortStep step = PortStep::Port;
    try {
        MSCommI.setCommPort(numericInt16(controls.port));

        step = PortStep::InputOutput;
        MSCommI.setInputLen(1);
        MSCommI.setInBufferCount(0);
        MSCommI.setOutBufferCount(0);

        step = PortStep::Baud;
        MSCommI.setSettings(controls.baud + QStringLiteral(",N,") + shortestDecimal(numericValue(controls.dataBits))
                            + QLatin1Char(',') + shortestDecimal(numericValue(controls.stopBits)));

        step = PortStep::InputMode;
        MSCommI.setInputMode(InputMode::Text);

        step = PortStep::Open;
        if (MSCommI.PortOpen())
            MSCommI.setPortOpen(false);
        MSCommI.setPortOpen(true);
    } catch (const LineSettingsRefused& refused) {
        // The system learns whether the device takes the settings only at the open.
        throw PortStepFailed(PortStep::Baud, causeOf(refused));
    } catch (const std::exception& failure) {
        throw PortStepFailed(step, causeOf(failure));
    }
}

void CloseSerialPort(SerialControl& MSCommI)
{
    try {
        if (MSCommI.PortOpen())
            MSCommI.setPortOpen(false);
    } catch (const std::exception& failure) {
        throw PortStepFailed(PortStep::Close, causeOf(failure));
    }
}

void forcePortClosed(SerialControl& MSCommI) noexcept
{
    try {
        if (MSCommI.PortOpen()) {
            // The run has failed already: what is still queued may go, so that the
            // close does not wait on a device that stopped taking it.
            MSCommI.setOutBufferCount(0);
            MSCommI.setPortOpen(false);
        }
    } catch (...) {
        // The run is already ending with its failure posted; a port that will
        // not close is left for the next open, which closes it first.
    }
}

bool SendPaced(SerialControl& MSCommI, const QString& text, std::optional<std::chrono::milliseconds> stall,
               Waiter* waiter)
{
    try {
        const qint16 length = checkedInt16(text.size());
        const std::chrono::milliseconds characterStall = stall.value_or(MSCommI.outputStall());
        for (qint16 position = 0; position < length; ++position) {
            // The next character goes only once the last one has left.
            const auto stallEnd = std::chrono::steady_clock::now() + characterStall;
            while (MSCommI.OutBufferCount() != 0) {
                if (std::chrono::steady_clock::now() >= stallEnd)
                    return false;
                if (waiter)
                    waiter->until(PortEvent::OutputSent, stallEnd);
            }
            MSCommI.setOutput(QString(text[position]));
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace ql
