#include "transfer/Transfers.h"

#include "common/Failure.h"
#include "eventlog/Messages.h"
#include "records/RecordList.h"
#include "serial/PortProcedures.h"
#include "serial/SerialControl.h"
#include "transfer/TransferHost.h"
#include "transfer/TransferPacing.h"
#include "transfer/TransferState.h"
#include "transfer/TransferWaits.h"

#include <utility>

namespace ql {

namespace {

void awaitBeginRequest(TransferPacing& pacing, SerialControl& MSCommI, const TransferState& state)
{
    pacing.startWait(WaitKind::Handshake);
    for (;;) {
        pacing.nextPass();
        const QString received = MSCommI.Input();
        // The time-out is tested first: a request read in the pass of the last dot
        // comes too late.
        if (pacing.waitExpired())
            throw deviceNotResponding();
        if (received == state.strBeginChar)
            return;
    }
}

// Reads one record into `record`; returns the separator or end character that ended it.
// Only Abort or a failing port ends a silent device.
QString receiveRecord(TransferPacing& pacing, SerialControl& MSCommI, const TransferState& state,
                      QString& record)
{
    pacing.startWait(WaitKind::Record);
    for (;;) {
        pacing.nextPass();
        if (MSCommI.InBufferCount() == 0)
            continue;
        const QString received = MSCommI.Input();
        if (received == state.strSepChar || received == state.strEndChar)
            return received;
        record += received;
    }
}

} // namespace

ReceptionOutcome RunHhcToPc(TransferHost& host, SerialControl& MSCommI, const TransferState& state)
{
    ReceptionOutcome outcome = ReceptionOutcome::NoBeginRequest;
    QString record; // until its separator or end character arrives
    try {
        OpenSerialPort(MSCommI, host.lineControls());
        host.postMessage(msg::startedHhc2Pc(currentTimeText()));
        host.postMessage(msg::configuredPort(MSCommI.Settings()));
        host.postMessage(msg::kWaitingBeginRequest);
        awaitBeginRequest(host.pacing(), MSCommI, state);

        RecordList& lstRecords = host.records();
        lstRecords.clear();
        outcome = ReceptionOutcome::Interrupted;
        host.postMessage(msg::kSentResponse);
        MSCommI.setInBufferCount(0);
        MSCommI.setOutput(state.strBeginChar);

        qint16 count = 0;
        for (;;) {
            const QString ending = receiveRecord(host.pacing(), MSCommI, state, record);
            const QString received = std::exchange(record, QString());
            count = incrementInt16(count);
            lstRecords.append(received);
            host.showStatus(QString::number(count));
            if (ending == state.strEndChar) {
                host.postMessage(msg::kReceptionCompleted);
                outcome = ReceptionOutcome::Received;
                CloseSerialPort(MSCommI);
                return outcome;
            }
        }
    } catch (const Failure& failure) {
        host.postMessage(failure.description());
        if (!record.isEmpty())
            host.postMessage(msg::incompleteRecordDropped(record.size()));
        forcePortClosed(MSCommI);
    }
    return outcome;
}

} // namespace ql
