#include "transfer/Transfers.h"

#include "eventlog/Messages.h"
#include "records/RecordFiles.h"
#include "serial/NumericText.h"
#include "serial/PortMap.h"
#include "transfer/TransferHost.h"
#include "transfer/TransferState.h"

namespace ql {

namespace {

// Every port the start-up probe can list may be started.
bool portSelectionValid(const QString& portText)
{
    const double port = numericValue(portText);
    return port > PortMap::kFirstPort - 1 && port < PortMap::kLastPort + 1;
}

void checkAndRun(TransferHost& host, SerialControl& MSCommI, const TransferState& state)
{
    host.SwitchListView(QStringLiteral("E"));
    host.clearEvents();
    host.postMessage(msg::kPleaseWait);

    if (!portSelectionValid(host.lineControls().port)) {
        host.postMessage(msg::kPortSelectionError);
        return;
    }
    if (host.fileText().trimmed().isEmpty()) {
        host.postMessage(msg::kSpecifiedFileError);
        return;
    }

    host.EnableSettings(false);
    const QString process = host.processText();
    if (process == kPcToHhc) {
        RunPcToHhc(host, MSCommI, state);
    } else if (process == kHhcToPc) {
        // Received records need somewhere to go, so the file is checked before the device is asked.
        if (!CheckReceiveFile(host, host.fileText()))
            return;
        // A run that never got the begin request holds no records of its own; saving
        // then would overwrite the data file with a stale list.
        const ReceptionOutcome outcome = RunHhcToPc(host, MSCommI, state);
        if (outcome != ReceptionOutcome::NoBeginRequest) {
            const SaveKind kind = outcome == ReceptionOutcome::Received ? SaveKind::Replace : SaveKind::KeepPrevious;
            SaveRecordsFile(host, host.records(), host.fileText(), kind);
        }
    } else {
        host.postMessage(msg::kProcessSelectionError);
    }
}

// The status line ends on the last message rather than dots or counts.
void finish(TransferHost& host)
{
    host.showStatus(host.lastMessage());
    host.EnableSettings(true);
}

} // namespace

void StartSelectedProcess(TransferHost& host, SerialControl& MSCommI, const TransferState& state)
{
    try {
        checkAndRun(host, MSCommI, state);
    } catch (...) {
        finish(host);
        throw;
    }
    finish(host);
}

} // namespace ql
