#include "transfer/Transfers.h"

#include "common/Failure.h"
#include "eventlog/Messages.h"
#include "records/RecordList.h"
#include "serial/PortProcedures.h"
#include "serial/SerialControl.h"
#include "transfer/RunContext.h"
#include "transfer/TransferHost.h"
#include "transfer/TransferWait.h"

#include <limits>
#include <utility>

namespace ql {

namespace {

void awaitBeginRequest(RunContext& run, std::optional<std::chrono::milliseconds> timeout)
{
    // The dots count towards the time-out: a wait without one shows none, and
    // sleeps until the device or Abort wakes it.
    TransferWait wait(run.waiter, PortEvent::Input, timeout, timeout ? &run.host : nullptr);
    for (;;) {
        wait.nextPass();
        const QString received = run.MSCommI.Input();
        // The time-out is tested first: a request read in the pass of the last dot
        // comes too late.
        wait.checkTime();
        if (received == run.characters.strBeginChar)
            return;
    }
}

// Reads characters up to the next separator or end character and returns it,
// handing each other character to `take`. Only Abort, a failing port or the
// quiet limit, when there is one, ends a silent device.
template <typename Take>
QString readToBoundary(RunContext& run, std::optional<std::chrono::milliseconds> quietLimit, Take take)
{
    const auto quietEnd = [&] { return quietLimit ? run.waiter.now() + *quietLimit : Waiter::Clock::time_point::max(); };
    Waiter::Clock::time_point deadline = quietEnd();
    for (;;) {
        run.waiter.until(PortEvent::Input, deadline);
        if (run.MSCommI.InBufferCount() == 0) {
            if (quietLimit && run.waiter.now() >= deadline)
                throw ReceptionQuiet(*quietLimit);
            continue;
        }
        if (quietLimit)
            deadline = quietEnd();
        const QString received = run.MSCommI.Input();
        if (received == run.characters.strSepChar || received == run.characters.strEndChar)
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

TransferResult RunHhcToPc(RunContext& run, const TransferRequest& request)
{
    TransferHost& host = run.host;
    SerialControl& MSCommI = run.MSCommI;
    // Failed until an ending says otherwise.
    TransferResult result(Direction::HhcToPc, Outcome::Failed);
    QString record; // until its separator or end character arrives
    qint16 count = 0;
    Unsaved unsaved;
    try {
        OpenSerialPort(MSCommI, request.line);
        host.postMessage(msg::startedHhc2Pc(msg::currentTimeText()));
        host.postMessage(msg::configuredPort(MSCommI.Settings()));
        host.postMessage(msg::kWaitingBeginRequest);
        awaitBeginRequest(run, request.handshakeTimeout);

        RecordList& lstRecords = host.records();
        lstRecords.clear();
        result.receiving.beginRequestReceived = true;
        host.receptionBegan();
        result.dataStarted = Waiter::Clock::now();
        result.lastRecord = result.dataStarted;
        host.postMessage(msg::kSentResponse);
        MSCommI.setInBufferCount(0);
        MSCommI.setOutput(run.characters.strBeginChar);

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
            const QString ending = readToBoundary(run, request.quietLimit, keep);
            if (count == std::numeric_limits<qint16>::max()) {
                unsaved.limit = PastLimit::RecordCount;
                for (QString next = ending; next != run.characters.strEndChar; ++unsaved.recordsAfter)
                    next = readToBoundary(run, request.quietLimit, countOnly);
            }
            count = incrementInt16(count);
            const QString received = std::exchange(record, QString());
            lstRecords.append(received);
            ++result.records;
            result.bytes += received.size() + 1;
            result.lastRecord = Waiter::Clock::now();
            host.recordMoved(result);
            host.showStatus(QString::number(count));
            if (ending == run.characters.strEndChar) {
                host.postMessage(msg::kReceptionCompleted);
                result.outcome = Outcome::Succeeded;
                CloseSerialPort(MSCommI);
                return result;
            }
        }
    } catch (const Failure& failure) {
        run.fail(result, failure);
        result.receiving.droppedCharacters = record.size() + unsaved.charactersAfter;
        const QString lost = unsavedText(unsaved, count + 1, record, request.limits);
        if (!lost.isEmpty())
            host.postMessage(lost);
        forcePortClosed(MSCommI);
    }
    return result;
}

} // namespace ql
