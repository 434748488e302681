#include "transfer/Transfers.h"

#include "eventlog/Messages.h"
#include "records/RecordFiles.h"
#include "serial/NumericText.h"
#include "serial/PortMap.h"
#include "transfer/RunContext.h"
#include "transfer/TransferHost.h"

namespace ql {

namespace {

// Every port the start-up probe can list may be started.
bool portSelectionValid(const QString& portText)
{
    const double port = numericValue(portText);
    return port > PortMap::kFirstPort - 1 && port < PortMap::kLastPort + 1;
}

// A run refused before any direction was chosen counts as PC->HHC, the first one listed.
TransferResult refused(TransferHost& host, const TransferRequest& request, Reason reason, const QString& message)
{
    host.postMessage(message);
    return {request.direction.value_or(Direction::PcToHhc), Outcome::Refused, reason};
}

TransferResult receiveAndSave(RunContext& run, const TransferRequest& request)
{
    TransferHost& host = run.host;
    // Received records need somewhere to go, so the file is checked before the device is asked.
    if (!CheckReceiveFile(host, request.file))
        return {Direction::HhcToPc, Outcome::Refused, Reason::FileUnusable};
    TransferResult result = RunHhcToPc(run, request);
    // A run that never got the begin request holds no records of its own; saving
    // then would overwrite the data file with a stale list.
    if (!result.receiving.beginRequestReceived)
        return result;
    const bool whole = result.succeeded() || result.reason == Reason::ClosingPort;
    const SaveOutcome saved
        = SaveRecordsFile(host, host.records(), request.file, whole ? SaveKind::Replace : SaveKind::KeepPrevious);
    if (saved.written)
        result.receiving.fileWritten = request.file;
    result.receiving.backupKept = saved.backupKept;
    result.receiving.recoveryFile = saved.recoveryFile;
    result.receiving.unholdableRecords = saved.unholdableRecords;
    // Records that are not on disk weigh more than how the reception ended.
    if (!saved.written) {
        result.reason = Reason::FileNotWritten;
        if (result.outcome == Outcome::Succeeded)
            result.outcome = Outcome::Failed;
    }
    // The save's own lines say nothing of the Abort that cut the reception short.
    if (result.outcome == Outcome::Aborted)
        host.postMessage(msg::receptionAborted(result.records, saved.written ? request.file : saved.recoveryFile));
    return result;
}

} // namespace

TransferResult StartSelectedProcess(RunContext& run, const TransferRequest& request)
{
    TransferHost& host = run.host;
    host.postMessage(msg::kPleaseWait);
    if (!portSelectionValid(request.line.port))
        return refused(host, request, Reason::PortSelection, msg::kPortSelectionError);
    if (request.file.trimmed().isEmpty())
        return refused(host, request, Reason::FileName, msg::kSpecifiedFileError);
    if (!request.direction)
        return refused(host, request, Reason::ProcessSelection, msg::kProcessSelectionError);

    host.transferStarting();
    if (*request.direction == Direction::PcToHhc)
        return RunPcToHhc(run, request);
    return receiveAndSave(run, request);
}

} // namespace ql
