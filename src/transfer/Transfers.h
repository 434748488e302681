#pragma once

#include "transfer/TransferResult.h"

namespace ql {

struct RunContext;
struct TransferRequest;

// Sends the records list to the hand-held computer.
TransferResult RunPcToHhc(RunContext& run, const TransferRequest& request);

// Receives records from the hand-held computer into the records list. A run that
// never got the begin request leaves the list alone; `records` is what it holds then.
TransferResult RunHhcToPc(RunContext& run, const TransferRequest& request);

// Checks the request and runs its direction to its end; an HHC->PC run that got
// the begin request is saved to the data file, keeping the previous file when the
// run was interrupted.
TransferResult StartSelectedProcess(RunContext& run, const TransferRequest& request);

} // namespace ql
