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

void awaitAnswer(TransferHost& host, TransferPacing& pacing, SerialControl& MSCommI, const TransferState& state)
{
    pacing.startWait(WaitKind::Handshake);
    ProgressDots dots(host);
    for (;;) {
        // With no window left there is nobody to abort the wait, so go on.
        if (!pacing.nextPass())
            return;
        if (MSCommI.Input() == state.strBeginChar)
            return;
        dots.show(pacing.dotsDue());
        if (pacing.waitExpired())
            throw DeviceNotResponding();
    }
}

void awaitEmptyTransmitQueue(TransferPacing& pacing, SerialControl& MSCommI)
{
    pacing.startWait(WaitKind::Drain, MSCommI.outputStall());
    for (;;) {
        pacing.nextPass();
        if (pacing.waitExpired())
            throw DeviceNotResponding();
        if (MSCommI.OutBufferCount() == 0)
            return;
    }
}

void sendRecord(TransferPacing& pacing, SerialControl& MSCommI, const QString& record)
{
    // Positions are 16-bit: a longer record cannot go out whole, so none of it goes.
    checkedInt16(record.size());
    if (SendPaced(MSCommI, record, MSCommI.outputStall(), pacing.characterWaits()))
        return;
    // A separator after a partial record would corrupt the device's data. A port
    // that failed or was closed reports its own reason on the next read.
    static_cast<void>(MSCommI.OutBufferCount());
    throw DeviceNotResponding();
}

} // namespace

TransferResult RunPcToHhc(TransferHost& host, const TransferRequest& request, SerialControl& MSCommI,
                          TransferPacing& pacing, const TransferState& state)
{
    TransferResult result;
    result.direction = Direction::PcToHhc;
    try {
        checkRecordsToSend(host.records().records(), state);
    } catch (const Failure& failure) {
        host.postMessage(msg::kTransferFailed);
        host.postMessage(failure.description());
        result.reason = Reason::RecordsUnsendable;
        return result;
    }
    try {
        OpenSerialPort(MSCommI, request.line);
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
        awaitAnswer(host, pacing, MSCommI, state);
        host.postMessage(msg::kGotResponse);
        host.postMessage(msg::kSendingData);
        result.dataStarted = TransferPacing::Clock::now();
        result.lastRecord = result.dataStarted;
        for (qint16 k = 0; k < n; ++k) {
            awaitEmptyTransmitQueue(pacing, MSCommI);
            sendRecord(pacing, MSCommI, records.at(k));
            MSCommI.setOutput(k != n - 1 ? state.strSepChar : state.strEndChar);
            ++result.records;
            result.bytes += records.at(k).size() + 1;
            result.lastRecord = TransferPacing::Clock::now();
            host.recordMoved(result);
            host.showStatus(QString::number(n - k - 1) + kRecordsRemaining);
        }
        result.deliveryUnseen = MSCommI.deliveryUnseen();
        if (result.deliveryUnseen)
            host.postMessage(msg::kVirtualPortDelivery);
        host.postMessage(msg::kTransferSucceeded);
        CloseSerialPort(MSCommI);
        result.outcome = Outcome::Succeeded;
    } catch (const Failure& failure) {
        host.postMessage(msg::kTransferFailed);
        postFailure(host, failure, pacing);
        noteFailure(result, failure, pacing);
        forcePortClosed(MSCommI);
    }
    return result;
}

} // namespace ql
