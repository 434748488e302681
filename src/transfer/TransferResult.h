#pragma once

#include <QString>
#include <QtGlobal>

#include <chrono>

namespace ql {

enum class Direction { PcToHhc, HhcToPc };

enum class Outcome {
    Succeeded,
    Failed,  // the port opened, and the run ended short of its end
    Aborted, // Abort, or the program asked to end, ended the run
    Refused, // refused before the port opened, or the port would not open
};

// Why a run was refused or failed; None for a run that succeeded.
enum class Reason {
    None,
    PortSelection,    // the port number is out of range
    FileName,         // no data file named
    ProcessSelection, // no direction selected
    FileUnusable,     // the data file cannot be read, or cannot take received records
    RecordsUnsendable, // nothing to send, or a record holding a protocol character
    SettingPort,
    SettingIo,
    SettingBaud,
    SettingInputMode,
    OpeningPort,
    NoResponse,      // the device did not answer, or stopped taking characters
    PortFailed,      // the port failed or was closed during the run
    Overflow,        // a count or a record too large for the protocol's 16-bit numbers
    ClosingPort,     // everything moved, yet the port would not close
    FileNotWritten,  // the received records did not reach the data file
};

// What a run did, as every front end reads it. The messages tell the operator the
// same; code decides on this. Each ending of a run says its outcome.
struct TransferResult {
    TransferResult(Direction runDirection, Outcome runOutcome, Reason why = Reason::None)
        : direction(runDirection), outcome(runOutcome), reason(why)
    {
    }

    Direction direction;
    Outcome outcome;
    Reason reason;

    // Records moved and their bytes on the wire, each with its separator or end character.
    int records = 0;
    qint64 bytes = 0;
    // From the handshake's end to the last record moved.
    std::chrono::steady_clock::time_point dataStarted {};
    std::chrono::steady_clock::time_point lastRecord {};

    struct Sending {
        // The port's far end reads unseen (a pseudo-terminal), so the last
        // character was only handed to the system.
        bool deliveryUnseen = false;
    };
    struct Receiving {
        // The records list holds what this run received, and nothing older.
        bool beginRequestReceived = false;
        // Where the records went. Empty when nothing went there.
        QString fileWritten;
        QString backupKept;
        QString recoveryFile;
        // The warnings of the reception: the characters received and not saved (of
        // a record that never got its separator or end character, or of records
        // past a limit); and records the data file keeps but cannot give back as
        // they came.
        qint64 droppedCharacters = 0;
        int unholdableRecords = 0;
    };
    Sending sending;     // PC->HHC
    Receiving receiving; // HHC->PC

    bool succeeded() const { return outcome == Outcome::Succeeded; }
};

} // namespace ql
