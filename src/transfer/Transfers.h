#pragma once

namespace ql {

class SerialControl;
class TransferHost;
struct TransferState;

// Sends the records list to the hand-held computer.
void RunPcToHhc(TransferHost& host, SerialControl& MSCommI, const TransferState& state);

// How far an HHC->PC run got: whether the device's begin request came, so that the
// records list now holds this run's records, and whether they ended with the end character.
enum class ReceptionOutcome { NoBeginRequest, Interrupted, Received };

// Receives records from the hand-held computer into the records list.
ReceptionOutcome RunHhcToPc(TransferHost& host, SerialControl& MSCommI, const TransferState& state);

// Checks the operator's settings and runs the selected direction to its end; an
// HHC->PC run that got the begin request is saved to the data file, keeping the
// previous file when the run was interrupted. However it
// ends, the status line shows the last message and the settings are enabled again;
// a failure escaping a step is passed on after that.
void StartSelectedProcess(TransferHost& host, SerialControl& MSCommI, const TransferState& state);

} // namespace ql
