#pragma once

#include "eventlog/MessagePoster.h"
#include "serial/PortProcedures.h"
#include "transfer/TransferResult.h"

#include <QString>

#include <optional>

namespace ql {

class RecordList;

// What a run is asked to do: the direction (none when none is selected), the
// line as the operator set it, and the data file.
struct TransferRequest {
    std::optional<Direction> direction;
    LineControls line;
    QString file;
};

// A front end as the transfer procedures see it: where messages go, the records
// list, and word of the run's progress.
class TransferHost : public MessagePoster {
public:
    virtual RecordList& records() = 0;

    // The checks have passed and the port is about to open.
    virtual void transferStarting() {}
    // After each record moved, with the run so far.
    virtual void recordMoved(const TransferResult&) {}
};

} // namespace ql
