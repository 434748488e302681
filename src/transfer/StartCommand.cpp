#include "transfer/Transfers.h"

#include "eventlog/Messages.h"
#include "records/RecordFiles.h"
#include "serial/NumericText.h"
#include "transfer/TransferHost.h"
#include "transfer/TransferState.h"

namespace ql {

namespace {

bool portSelectionValid(const QString& portText)
{
    const double port = numericValue(portText);
    return port > 0 && port < 17;
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
        // A run that never got the begin request holds no records of its own; saving
        // then would overwrite the data file with a stale list.
        if (RunHhcToPc(host, MSCommI, state) == ReceptionOutcome::Received)
            SaveRecordsFile(host, host.records(), host.fileText());
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
