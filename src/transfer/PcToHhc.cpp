#include "transfer/Transfers.h"

#include "common/Failure.h"
#include "eventlog/Messages.h"
#include "records/RecordList.h"
#include "serial/PortProcedures.h"
#include "serial/SerialControl.h"
#include "transfer/RunContext.h"
#include "transfer/SendChecks.h"
#include "transfer/TransferHost.h"
#include "transfer/TransferWait.h"

#include <QStringList>

namespace ql {

namespace {

const QString kRecordsRemaining = QStringLiteral(" records remaining");

void awaitAnswer(RunContext& run, std::optional<std::chrono::milliseconds> timeout)
{
    TransferWait wait(run.waiter, PortEvent::Input, timeout, &run.host);
    for (;;) {
        // With no window left there is nobody to abort the wait, so go on.
        if (!wait.nextPass())
            return;
        if (run.MSCommI.Input() == run.characters.strBeginChar)
            return;
        wait.checkTime();
    }
}

void awaitEmptyTransmitQueue(RunContext& run)
{
    TransferWait wait(run.waiter, PortEvent::OutputSent, run.MSCommI.outputStall());
    for (;;) {
        wait.nextPass();
        wait.checkTime();
        if (run.MSCommI.OutBufferCount() == 0)
            return;
    }
}

void sendRecord(RunContext& run, const QString& record)
{
    // Positions are 16-bit: a longer record cannot go out whole, so none of it goes.
    checkedInt16(record.size());
    if (SendPaced(run.MSCommI, record, run.MSCommI.outputStall(), &run.waiter))
        return;
    // A separator after a partial record would corrupt the device's data. A port
    // that failed or was closed reports its own reason on the next read.
    static_cast<void>(run.MSCommI.OutBufferCount());
    throw DeviceNotResponding();
}

} // namespace

TransferResult RunPcToHhc(RunContext& run, const TransferRequest& request)
{
    TransferHost& host = run.host;
    SerialControl& MSCommI = run.MSCommI;
    try {
        checkRecordsToSend(host.records().records(), run.characters);
    } catch (const Failure& failure) {
        host.postMessage(msg::kTransferFailed);
        host.postMessage(failure.description());
        return {Direction::PcToHhc, Outcome::Refused, Reason::RecordsUnsendable};
    }
    // Failed until an ending says otherwise.
    TransferResult result(Direction::PcToHhc, Outcome::Failed);
    try {
        OpenSerialPort(MSCommI, request.line);
        host.postMessage(msg::startedPc2Hhc(msg::currentTimeText()));
        host.postMessage(msg::configuredPort(MSCommI.Settings()));
        host.postMessage(msg::kSearchingRecords);
        // A copy, so that nothing handled inside the waits can change what is sent.
        const QStringList records = host.records().records();
        const qint16 n = checkedInt16(records.size());
        host.postMessage(msg::recordsFound(n));
        host.postMessage(msg::kSentBeginRequest);
        host.postMessage(msg::kWaitingResponse);
        MSCommI.setOutput(run.characters.strBeginChar);
        awaitAnswer(run, request.handshakeTimeout);
        host.postMessage(msg::kGotResponse);
        host.postMessage(msg::kSendingData);
        result.dataStarted = Waiter::Clock::now();
        result.lastRecord = result.dataStarted;
        for (qint16 k = 0; k < n; ++k) {
            awaitEmptyTransmitQueue(run);
            sendRecord(run, records.at(k));
            MSCommI.setOutput(k != n - 1 ? run.characters.strSepChar : run.characters.strEndChar);
            ++result.records;
            result.bytes += records.at(k).size() + 1;
            result.lastRecord = Waiter::Clock::now();
            host.recordMoved(result);
            host.showStatus(QString::number(n - k - 1) + kRecordsRemaining);
        }
        result.sending.deliveryUnseen = MSCommI.deliveryUnseen();
        if (result.sending.deliveryUnseen)
            host.postMessage(msg::kVirtualPortDelivery);
        host.postMessage(msg::kTransferSucceeded);
        CloseSerialPort(MSCommI);
        result.outcome = Outcome::Succeeded;
    } catch (const Failure& failure) {
        host.postMessage(msg::kTransferFailed);
        run.fail(result, failure);
        forcePortClosed(MSCommI);
    }
    return result;
}

} // namespace ql
