#pragma once

#include "eventlog/Messages.h"

#include <QString>

#include <optional>

namespace ql {

class Failure;
class SerialControl;
class TransferHost;
class Waiter;
struct TransferResult;

// The characters of the protocol: begin request and its answer, end of
// transmission, record separator.
struct ProtocolCharacters {
    QString strBeginChar;
    QString strEndChar;
    QString strSepChar;
};

// All that one run works with; it keeps nothing anywhere else, so runs on several
// ports can each have their own.
struct RunContext {
    TransferHost& host;
    SerialControl& MSCommI;
    Waiter& waiter;
    ProtocolCharacters characters;
    // Set by Abort: the run is to end, and its next look at the closed port fails
    // it. That failure is told as this text rather than as what the closed port says.
    std::optional<QString> closedBy {};

    void abort(const QString& by = msg::kPortClosedByAbort) { closedBy = by; }

    // The failure ending: posts why the run failed (the failure's description and,
    // for a step of opening or closing the port, the reason the control gave), and
    // records in `result` how it failed.
    void fail(TransferResult& result, const Failure& failure);
};

} // namespace ql
