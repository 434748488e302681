#pragma once

#include <QString>
#include <QStringList>

// Every text the program posts to the event list, each defined once and verbatim.
namespace ql::msg {

inline const QString kPleaseWait = QStringLiteral("Plase wait . . .");
inline const QString kPortSelectionError = QStringLiteral("Error in port selection . . .");
inline const QString kSpecifiedFileError = QStringLiteral("Error in specified file . . .");
inline const QString kProcessSelectionError = QStringLiteral("Error in process selection . . .");

inline const QString kSearchingRecords = QStringLiteral("Searching records . . .");
inline const QString kSentBeginRequest = QStringLiteral("Sent a begin request . . .");
inline const QString kWaitingResponse = QStringLiteral("Waiting a response . . .");
inline const QString kGotResponse = QStringLiteral("Got response . . .");
inline const QString kSendingData = QStringLiteral("Sending data . . .");
inline const QString kTransferSucceeded = QStringLiteral("Data transfered successfuly . . .");
inline const QString kTransferFailed = QStringLiteral("Data transfer unsuccessful . . .");

inline const QString kWaitingBeginRequest = QStringLiteral("Waiting for a beging request . . .");
inline const QString kSentResponse = QStringLiteral("Sent response . . .");
inline const QString kReceptionCompleted = QStringLiteral("Transmission of data from hhc to pc completed");

inline const QString kDeviceNotResponding = QStringLiteral("Device not responding . . .");
inline const QString kAuthorsMessage = QStringLiteral("Author's message");

inline const QString kErrorSettingPort = QStringLiteral("Error in setting port . . .");
inline const QString kErrorSettingIo = QStringLiteral("Error in setting input/output parameters . . .");
inline const QString kErrorSettingBaud = QStringLiteral("Error in setting braud rate . . .");
inline const QString kErrorSettingInputMode = QStringLiteral("Error in setting input mode . . .");
inline const QString kErrorOpeningPort = QStringLiteral("Error in opening port . . .");
inline const QString kErrorClosingPort = QStringLiteral("Error in closing port");

inline const QString kOpeningFile = QStringLiteral("Please wait, opening file . . .");
inline const QString kSavingFile = QStringLiteral("Please wait, saving file . . .");
inline const QString kFileError = QStringLiteral("Error occured while reading the file");

inline const QString kNothingToSend = QStringLiteral("There are no records to send . . .");

// The local time as HH:mm:ss, for the two start messages.
QString currentTimeText();
// "Started pc2hhc process at " followed by the time as HH:mm:ss.
QString startedPc2Hhc(const QString& time);
// "Started hhc2pc process at " followed by the time as HH:mm:ss.
QString startedHhc2Pc(const QString& time);
// "Configured Serial Port to " followed by the settings text in upper case.
QString configuredPort(const QString& settings);
// N " records found"
QString recordsFound(int count);
// "Found " N " records"
QString foundRecords(int count);
// "Written " N " records"
QString writtenRecords(int count);
// Names the first record, counted from 1, that holds a separator or end character.
QString recordHoldsProtocolCharacter(int number, const QString& character);
// Where the data file as it stood before a save was kept.
QString previousFileKept(const QString& path);
// Where received records went when the data file could not take them.
QString recordsRecovered(const QString& path);
// How many received records no file could take, and why.
QString recordsLost(int count, const QString& why);
// Why the data file cannot be used, for a refusal that the file error alone does not explain.
QString dataFileRefused(const QString& path, const QString& why);
// The first received record that the data file cannot give back as it came.
QString recordHoldsLineEnd(int number);
QString recordTooLong(int number, qsizetype length, qsizetype longest);
// A run that a signal ended through the Abort path.
QString abortedBySignal(int signal);
// The characters of a record that had not ended when the reception stopped.
QString incompleteRecordDropped(qsizetype length);
// The record that a reception's limit left unsaved, by its number: the record
// past the last one a data file holds, with what the device sent after it; a
// record longer than a reception keeps; a record that took the reception past
// what it keeps in all.
QString recordPastCountLimit(int number, qsizetype length, int recordsAfter, qint64 charactersAfter);
QString recordPastLengthLimit(int number, qsizetype limit);
QString recordPastReceptionLimit(int number, qsizetype length, qint64 limit);
// A watched port given up because its device went or another took its place.
QString portLetGo(const QString& device);
// An unattended reception that the device left silent for longer than it may.
QString receptionQuiet(qint64 seconds);
// A run's failure after the operator's Abort closed the port.
inline const QString kPortClosedByAbort = QStringLiteral("The port was closed by Abort");
// The last line of an aborted reception: how many records it received, and the
// file that holds them (empty: none could).
QString receptionAborted(int records, const QString& file);
// A pseudo-terminal tells nothing of what its far end has read.
inline const QString kVirtualPortDelivery =
    QStringLiteral("The port is a pseudo-terminal: success means that the last character was handed to the "
                   "system, not that the device has read it");

// Which device a port number stands for, and why none could be opened.
// "Com port " N " is " followed by the device path and what the system says of it.
QString portDevice(int number, const QString& device);
inline const QString kNoSerialDevice = QStringLiteral("No serial device is present . . .");
// The devices refused, then how to be let in: joining `group`, which owns them.
QString portsPermissionDenied(const QStringList& devices, const QString& group);
// A device refused where joining a group would not help: the system's reason, then
// who may open the device (deviceOwnership) when that is known.
QString portRefused(const QString& why, const QString& access);
// "owner NAME, group NAME, mode 0660"
QString deviceOwnership(const QString& owner, const QString& group, unsigned mode);
// The devices another program holds open.
QString portsInUse(const QStringList& devices);
// What on the system gets in the way of a port, and what to do about it:
// "Warning: " followed by the text and the details.
QString portWarning(const QString& text, const QStringList& details);

// Start-up notes, when the program starts all the same.
// "Single-instance lock not taken, a second copy will not be refused: " followed by why.
QString instanceLockUnavailable(const QString& reason);
// "Command line file name not used, it is not valid text here: " followed by the
// name as shown.
QString unusableCommandLinePath(const QString& shown);

} // namespace ql::msg
