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

Reason failureReason(const Failure& failure)
{
    if (const auto* step = dynamic_cast<const PortStepFailed*>(&failure))
        return stepReason(step->step());
    if (dynamic_cast<const DeviceNotResponding*>(&failure))
        return Reason::NoResponse;
    if (failure.number() == Failure::kOverflow)
        return Reason::Overflow;
    return Reason::PortFailed;
}

} // namespace

void postFailure(MessagePoster& poster, const Failure& failure, const TransferPacing& pacing)
{
    if (pacing.aborted() && failureReason(failure) == Reason::PortFailed) {
        poster.postMessage(pacing.abortText());
        return;
    }
    poster.postMessage(failure.description());
    const auto* step = dynamic_cast<const PortStepFailed*>(&failure);
    if (step && !step->cause().isEmpty())
        poster.postMessage(step->cause());
}

void noteFailure(TransferResult& result, const Failure& failure, const TransferPacing& pacing)
{
    result.reason = failureReason(failure);
    const auto* step = dynamic_cast<const PortStepFailed*>(&failure);
    result.outcome = step && step->step() != PortStep::Close ? Outcome::Refused : Outcome::Failed;
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
