#pragma once

namespace ql {

class SerialControl;
class TransferHost;
struct TransferState;

// Sends the records list to the hand-held computer.
void RunPcToHhc(TransferHost& host, SerialControl& MSCommI, const TransferState& state);

// How far an HHC->PC run got: whether the device's begin request came, so that the
// records list now holds this run's records.
enum class ReceptionOutcome { NoBeginRequest, Received };

// Receives records from the hand-held computer into the records list.
ReceptionOutcome RunHhcToPc(TransferHost& host, SerialControl& MSCommI, const TransferState& state);

// Checks the operator's settings and runs the selected direction to its end.
void StartSelectedProcess(TransferHost& host, SerialControl& MSCommI, const TransferState& state);

} // namespace ql
