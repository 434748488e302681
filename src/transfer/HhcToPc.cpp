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

void awaitBeginRequest(TransferHost& host, TransferPacing& pacing, SerialControl& MSCommI,
                       const TransferState& state)
{
    pacing.startWait(WaitKind::Handshake);
    ProgressDots dots(host);
    for (;;) {
        pacing.nextPass();
        const QString received = MSCommI.Input();
        // The time-out is tested first: a request read in the pass of the last dot
        // comes too late.
        dots.show(pacing.dotsDue());
        if (pacing.waitExpired())
            throw DeviceNotResponding();
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

TransferResult RunHhcToPc(TransferHost& host, const TransferRequest& request, SerialControl& MSCommI,
                          TransferPacing& pacing, const TransferState& state)
{
    TransferResult result;
    result.direction = Direction::HhcToPc;
    QString record; // until its separator or end character arrives
    try {
        OpenSerialPort(MSCommI, request.line);
        host.postMessage(msg::startedHhc2Pc(currentTimeText()));
        host.postMessage(msg::configuredPort(MSCommI.Settings()));
        host.postMessage(msg::kWaitingBeginRequest);
        awaitBeginRequest(host, pacing, MSCommI, state);

        RecordList& lstRecords = host.records();
        lstRecords.clear();
        result.dataStarted = TransferPacing::Clock::now();
        result.lastRecord = result.dataStarted;
        host.postMessage(msg::kSentResponse);
        MSCommI.setInBufferCount(0);
        MSCommI.setOutput(state.strBeginChar);

        qint16 count = 0;
        for (;;) {
            const QString ending = receiveRecord(pacing, MSCommI, state, record);
            const QString received = std::exchange(record, QString());
            count = incrementInt16(count);
            lstRecords.append(received);
            ++result.records;
            result.bytes += received.size() + 1;
            result.lastRecord = TransferPacing::Clock::now();
            host.recordMoved(result);
            host.showStatus(QString::number(count));
            if (ending == state.strEndChar) {
                host.postMessage(msg::kReceptionCompleted);
                result.outcome = Outcome::Succeeded;
                CloseSerialPort(MSCommI);
                return result;
            }
        }
    } catch (const Failure& failure) {
        host.postMessage(failure.description());
        result.droppedCharacters = static_cast<int>(record.size());
        if (!record.isEmpty())
            host.postMessage(msg::incompleteRecordDropped(record.size()));
        noteFailure(result, failure, pacing);
        forcePortClosed(MSCommI);
    }
    return result;
}

} // namespace ql
