#pragma once

#include "transfer/TransferResult.h"

namespace ql {

class SerialControl;
class TransferHost;
class TransferPacing;
struct TransferRequest;
struct TransferState;

// Sends the records list to the hand-held computer.
TransferResult RunPcToHhc(TransferHost& host, const TransferRequest& request, SerialControl& MSCommI,
                          TransferPacing& pacing, const TransferState& state);

// Receives records from the hand-held computer into the records list. A run that
// never got the begin request leaves the list alone; `records` is what it holds then.
TransferResult RunHhcToPc(TransferHost& host, const TransferRequest& request, SerialControl& MSCommI,
                          TransferPacing& pacing, const TransferState& state);

// Checks the request and runs its direction to its end; an HHC->PC run that got
// the begin request is saved to the data file, keeping the previous file when the
// run was interrupted.
TransferResult StartSelectedProcess(TransferHost& host, const TransferRequest& request, SerialControl& MSCommI,
                                    TransferPacing& pacing, const TransferState& state);

} // namespace ql
