#include "transfer/Transfers.h"

#include "eventlog/Messages.h"
#include "records/RecordFiles.h"
#include "serial/NumericText.h"
#include "serial/PortMap.h"
#include "transfer/TransferHost.h"
#include "transfer/TransferPacing.h"

namespace ql {

namespace {

// Every port the start-up probe can list may be started.
bool portSelectionValid(const QString& portText)
{
    const double port = numericValue(portText);
    return port > PortMap::kFirstPort - 1 && port < PortMap::kLastPort + 1;
}

TransferResult refused(TransferHost& host, Reason reason, const QString& message)
{
    host.postMessage(message);
    TransferResult result;
    result.reason = reason;
    return result;
}

TransferResult receiveAndSave(TransferHost& host, const TransferRequest& request, SerialControl& MSCommI,
                              TransferPacing& pacing, const TransferState& state)
{
    // Received records need somewhere to go, so the file is checked before the device is asked.
    if (!CheckReceiveFile(host, request.file)) {
        TransferResult result;
        result.direction = Direction::HhcToPc;
        result.reason = Reason::FileUnusable;
        return result;
    }
    TransferResult result = RunHhcToPc(host, request, MSCommI, pacing, state);
    // A run that never got the begin request holds no records of its own; saving
    // then would overwrite the data file with a stale list.
    if (result.dataStarted == TransferPacing::Clock::time_point {})
        return result;
    const bool whole = result.succeeded() || result.reason == Reason::ClosingPort;
    const SaveOutcome saved
        = SaveRecordsFile(host, host.records(), request.file, whole ? SaveKind::Replace : SaveKind::KeepPrevious);
    if (saved.written)
        result.fileWritten = request.file;
    result.backupKept = saved.backupKept;
    result.recoveryFile = saved.recoveryFile;
    result.unholdableRecords = saved.unholdableRecords;
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

TransferResult StartSelectedProcess(TransferHost& host, const TransferRequest& request, SerialControl& MSCommI,
                                    TransferPacing& pacing, const TransferState& state)
{
    host.postMessage(msg::kPleaseWait);
    if (!portSelectionValid(request.line.port))
        return refused(host, Reason::PortSelection, msg::kPortSelectionError);
    if (request.file.trimmed().isEmpty())
        return refused(host, Reason::FileName, msg::kSpecifiedFileError);
    if (!request.direction)
        return refused(host, Reason::ProcessSelection, msg::kProcessSelectionError);

    host.transferStarting();
    pacing.startRun();
    if (*request.direction == Direction::PcToHhc)
        return RunPcToHhc(host, request, MSCommI, pacing, state);
    return receiveAndSave(host, request, MSCommI, pacing, state);
}

} // namespace ql
