#include "transfer/Transfers.h"

#include "common/Failure.h"
#include "eventlog/Messages.h"
#include "records/RecordList.h"
#include "serial/PortProcedures.h"
#include "serial/SerialControl.h"
#include "transfer/SendChecks.h"
#include "transfer/TransferHost.h"
#include "transfer/TransferPacing.h"
#include "transfer/TransferState.h"
#include "transfer/TransferWaits.h"

#include <QStringList>

namespace ql {

namespace {

const QString kRecordsRemaining = QStringLiteral(" records remaining");

void awaitAnswer(TransferPacing& pacing, SerialControl& MSCommI, const TransferState& state)
{
    pacing.startWait(WaitKind::Handshake);
    for (;;) {
        // With no window left there is nobody to abort the wait, so go on.
        if (!pacing.nextPass())
            return;
        if (MSCommI.Input() == state.strBeginChar)
            return;
        if (pacing.waitExpired())
            throw deviceNotResponding();
    }
}

void awaitEmptyTransmitQueue(TransferPacing& pacing, SerialControl& MSCommI)
{
    pacing.startWait(WaitKind::Drain);
    for (;;) {
        pacing.nextPass();
        if (pacing.waitExpired())
            throw deviceNotResponding();
        if (MSCommI.OutBufferCount() == 0)
            return;
    }
}

void sendRecord(TransferPacing& pacing, SerialControl& MSCommI, const QString& record)
{
    // Positions are 16-bit: a longer record cannot go out whole, so none of it goes.
    checkedInt16(record.size());
    if (SendPaced(MSCommI, record, 0, kSendPacedStallMs, pacing.characterWaits()))
        return;
    // A separator after a partial record would corrupt the device's data. A port
    // that failed or was closed reports its own reason on the next read.
    static_cast<void>(MSCommI.OutBufferCount());
    throw deviceNotResponding();
}

} // namespace

void RunPcToHhc(TransferHost& host, SerialControl& MSCommI, const TransferState& state)
{
    try {
        checkRecordsToSend(host.records().records(), state);
        OpenSerialPort(MSCommI, host.lineControls());
        host.postMessage(msg::startedPc2Hhc(currentTimeText()));
        host.postMessage(msg::configuredPort(MSCommI.Settings()));
        host.postMessage(msg::kSearchingRecords);
        // A copy, so that nothing handled inside the waits can change what is sent.
        const QStringList records = host.records().records();
        const qint16 n = checkedInt16(records.size());
        host.postMessage(msg::recordsFound(n));
        host.postMessage(msg::kSentBeginRequest);
        host.postMessage(msg::kWaitingResponse);
        MSCommI.setOutput(state.strBeginChar);
        awaitAnswer(host.pacing(), MSCommI, state);
        host.postMessage(msg::kGotResponse);
        host.postMessage(msg::kSendingData);
        for (qint16 k = 0; k < n; ++k) {
            awaitEmptyTransmitQueue(host.pacing(), MSCommI);
            sendRecord(host.pacing(), MSCommI, records.at(k));
            MSCommI.setOutput(k != n - 1 ? state.strSepChar : state.strEndChar);
            host.showStatus(QString::number(n - k - 1) + kRecordsRemaining);
        }
        if (MSCommI.deliveryUnseen())
            host.postMessage(msg::kVirtualPortDelivery);
        host.postMessage(msg::kTransferSucceeded);
        CloseSerialPort(MSCommI);
    } catch (const Failure& failure) {
        host.postMessage(msg::kTransferFailed);
        host.postMessage(failure.description());
        forcePortClosed(MSCommI);
    }
}

} // namespace ql
