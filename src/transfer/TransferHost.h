#pragma once

#include "eventlog/MessagePoster.h"
#include "serial/PortProcedures.h"
#include "transfer/TransferResult.h"
#include "transfer/TransferWait.h"

#include <QString>

#include <optional>

namespace ql {

class RecordList;

// How much of what a device sends one reception holds in memory, whatever the
// device sends: a record far longer than a data file can give back, or far more
// characters than a batch of records has, ends the reception as failed.
struct ReceptionLimits {
    qsizetype recordCharacters = 64 * 1024;
    qint64 totalCharacters = 12 * 1024 * 1024;
};

// What a run is asked to do: the direction (none when none is selected), the
// line as the operator set it, the data file, and how long the handshake waits
// (without end when none). An unattended reception may also end once the device,
// past its begin request, stays silent for `quietLimit`; without one, only Abort
// or a failing port ends a silent device.
struct TransferRequest {
    std::optional<Direction> direction;
    LineControls line;
    QString file;
    ReceptionLimits limits;
    std::optional<std::chrono::milliseconds> handshakeTimeout = kHandshakeTimeout;
    std::optional<std::chrono::milliseconds> quietLimit;
};

// A front end as the transfer procedures see it: where messages go, the records
// list, and word of the run's progress.
class TransferHost : public MessagePoster {
public:
    virtual RecordList& records() = 0;

    // The checks have passed and the port is about to open.
    virtual void transferStarting() {}
    // A reception got its begin request and is about to answer it.
    virtual void receptionBegan() {}
    // After each record moved, with the run so far.
    virtual void recordMoved(const TransferResult&) {}
};

} // namespace ql
