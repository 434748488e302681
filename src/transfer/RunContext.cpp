#include "transfer/RunContext.h"

#include "serial/PortProcedures.h"
#include "transfer/TransferHost.h"
#include "transfer/TransferWait.h"

namespace ql {

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
    if (dynamic_cast<const DeviceNotResponding*>(&failure) || dynamic_cast<const ReceptionQuiet*>(&failure))
        return Reason::NoResponse;
    if (failure.number() == Failure::kOverflow)
        return Reason::Overflow;
    return Reason::PortFailed;
}

} // namespace

void RunContext::fail(TransferResult& result, const Failure& failure)
{
    result.reason = failureReason(failure);
    const auto* step = dynamic_cast<const PortStepFailed*>(&failure);
    result.outcome = step && step->step() != PortStep::Close ? Outcome::Refused : Outcome::Failed;
    if (closedBy && result.outcome == Outcome::Failed)
        result.outcome = Outcome::Aborted;

    if (closedBy && result.reason == Reason::PortFailed) {
        host.postMessage(*closedBy);
        return;
    }
    host.postMessage(failure.description());
    if (step && !step->cause().isEmpty())
        host.postMessage(step->cause());
}

} // namespace ql
