#include "transfer/TransferWaits.h"

#include "eventlog/MessagePoster.h"
#include "eventlog/Messages.h"
#include "serial/PortProcedures.h"
#include "serial/SerialControl.h"
#include "transfer/TransferPacing.h"
#include "transfer/TransferResult.h"

#include <QTime>

namespace ql {

void ProgressDots::show(int due)
{
    while (m_dots.size() < due) {
        m_dots += QLatin1Char('o');
        m_poster.showStatus(m_dots);
    }
}

DeviceNotResponding::DeviceNotResponding()
    : Failure(Failure::kProgramError, msg::kDeviceNotResponding, msg::kAuthorsMessage)
{
}

namespace {

Reason stepReason(PortStep step)
{
    switch (step) {
    case PortStep::Port: return Reason::SettingPort;
    case PortStep::InputOutput: return Reason::SettingIo;
    case PortStep::Baud: return Reason::SettingBaud;
    case PortStep::InputMode: return Reason::SettingInputMode;
    case PortStep::Open: return Reason::OpeningPort;
    case PortStep::Close: return Reason::ClosingPort;
    }
    return Reason::OpeningPort;
}

} // namespace

void noteFailure(TransferResult& result, const Failure& failure, const TransferPacing& pacing)
{
    result.outcome = Outcome::Failed;
    if (const auto* step = dynamic_cast<const PortStepFailed*>(&failure)) {
        result.reason = stepReason(step->step());
        if (step->step() != PortStep::Close)
            result.outcome = Outcome::Refused;
    } else if (dynamic_cast<const DeviceNotResponding*>(&failure)) {
        result.reason = Reason::NoResponse;
    } else if (failure.number() == Failure::kOverflow) {
        result.reason = Reason::Overflow;
    } else {
        result.reason = Reason::PortFailed;
    }
    if (pacing.aborted() && result.outcome == Outcome::Failed)
        result.outcome = Outcome::Aborted;
}

QString currentTimeText()
{
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
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

} // namespace ql
