#include "serial/PortProcedures.h"

#include "common/Failure.h"
#include "eventlog/Messages.h"
#include "serial/NumericText.h"

#include <chrono>
#include <exception>
#include <thread>

namespace ql {

void OpenSerialPort(SerialControl& MSCommI, const LineControls& controls)
{
    QString stepMessage;
    try {
        stepMessage = msg::kErrorSettingPort;
        MSCommI.setCommPort(numericInt16(controls.port));

        stepMessage = msg::kErrorSettingIo;
        MSCommI.setInputLen(1);
        MSCommI.setInBufferCount(0);
        MSCommI.setOutBufferCount(0);

        stepMessage = msg::kErrorSettingBaud;
        MSCommI.setSettings(controls.baud + QStringLiteral(",N,") + shortestDecimal(numericValue(controls.dataBits))
                            + QLatin1Char(',') + shortestDecimal(numericValue(controls.stopBits)));

        stepMessage = msg::kErrorSettingInputMode;
        MSCommI.setInputMode(InputMode::Text);

        stepMessage = msg::kErrorOpeningPort;
        if (MSCommI.PortOpen())
            MSCommI.setPortOpen(false);
        MSCommI.setPortOpen(true);
    } catch (const LineSettingsRefused&) {
        // The system learns whether the device takes the settings only at the open.
        throw Failure(Failure::kProgramError, msg::kErrorSettingBaud);
    } catch (const std::exception&) {
        throw Failure(Failure::kProgramError, stepMessage);
    }
}

void CloseSerialPort(SerialControl& MSCommI)
{
    try {
        if (MSCommI.PortOpen())
            MSCommI.setPortOpen(false);
    } catch (const std::exception&) {
        throw Failure(Failure::kProgramError, msg::kErrorClosingPort);
    }
}

bool SendPaced(SerialControl& MSCommI, const QString& text, qint16 delayMs, int stallMs, PortWaits* waits)
{
    try {
        const qint16 length = checkedInt16(text.size());
        for (qint16 position = 0; position < length; ++position) {
            // The next character goes only once the last one has left.
            const auto stallEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(stallMs);
            while (MSCommI.OutBufferCount() != 0) {
                if (std::chrono::steady_clock::now() >= stallEnd)
                    return false;
                if (waits)
                    waits->block(PortEvent::OutputSent, stallEnd);
            }
            if (delayMs != 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            MSCommI.setOutput(QString(text[position]));
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace ql
