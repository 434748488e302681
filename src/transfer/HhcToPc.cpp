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

#include <limits>
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

// Reads characters up to the next separator or end character and returns it,
// handing each other character to `take`. Only Abort or a failing port ends a
// silent device.
template <typename Take>
QString readToBoundary(TransferPacing& pacing, SerialControl& MSCommI, const TransferState& state, Take take)
{
    pacing.startWait(WaitKind::Record);
    for (;;) {
        pacing.nextPass();
        if (MSCommI.InBufferCount() == 0)
            continue;
        const QString received = MSCommI.Input();
        if (received == state.strSepChar || received == state.strEndChar)
            return received;
        take(received);
    }
}

// Which limit ended a reception with the record in hand unsaved.
enum class PastLimit { None, RecordCount, RecordLength, ReceptionLength };

// The record in hand, and what the device sent after it, when a limit ended the run.
struct Unsaved {
    PastLimit limit = PastLimit::None;
    int recordsAfter = 0;
    qint64 charactersAfter = 0;
};

QString unsavedText(const Unsaved& unsaved, int number, const QString& record, const ReceptionLimits& limits)
{
    switch (unsaved.limit) {
    case PastLimit::RecordCount:
        return msg::recordPastCountLimit(number, record.size(), unsaved.recordsAfter, unsaved.charactersAfter);
    case PastLimit::RecordLength: return msg::recordPastLengthLimit(number, limits.recordCharacters);
    case PastLimit::ReceptionLength:
        return msg::recordPastReceptionLimit(number, record.size(), limits.totalCharacters);
    case PastLimit::None: break;
    }
    return record.isEmpty() ? QString() : msg::incompleteRecordDropped(record.size());
}

} // namespace

TransferResult RunHhcToPc(TransferHost& host, const TransferRequest& request, SerialControl& MSCommI,
                          TransferPacing& pacing, const TransferState& state)
{
    TransferResult result;
    result.direction = Direction::HhcToPc;
    QString record; // until its separator or end character arrives
    qint16 count = 0;
    Unsaved unsaved;
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

        const ReceptionLimits& limits = request.limits;
        const auto keep = [&](const QString& received) {
            if (record.size() >= limits.recordCharacters)
                unsaved.limit = PastLimit::RecordLength;
            else if (result.bytes + record.size() >= limits.totalCharacters)
                unsaved.limit = PastLimit::ReceptionLength;
            if (unsaved.limit != PastLimit::None)
                failOverflow();
            record += received;
        };
        // Past the last record a list can hold, the rest is only counted, so that
        // the operator learns how much the device still had.
        const auto countOnly = [&](const QString&) { ++unsaved.charactersAfter; };
        for (;;) {
            const QString ending = readToBoundary(pacing, MSCommI, state, keep);
            if (count == std::numeric_limits<qint16>::max()) {
                unsaved.limit = PastLimit::RecordCount;
                for (QString next = ending; next != state.strEndChar; ++unsaved.recordsAfter)
                    next = readToBoundary(pacing, MSCommI, state, countOnly);
            }
            count = incrementInt16(count);
            const QString received = std::exchange(record, QString());
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
        postFailure(host, failure, pacing);
        result.droppedCharacters = record.size() + unsaved.charactersAfter;
        const QString lost = unsavedText(unsaved, count + 1, record, request.limits);
        if (!lost.isEmpty())
            host.postMessage(lost);
        noteFailure(result, failure, pacing);
        forcePortClosed(MSCommI);
    }
    return result;
}

} // namespace ql
