#pragma once

#include <QString>

#include <functional>

namespace ql {

class MessagePoster;
class RecordList;

// Reads the data file at `path` into the records list, posting its messages. Only a
// regular file is read, and only as far as a data file can go. False when it could
// not be read.
bool LoadRecordsFile(MessagePoster& poster, RecordList& lstRecords, const QString& path);

// Whether records received later can be saved at `path`: a regular file that may be
// written, or a new name in a folder that may be written. Writes nothing; when the
// answer is no, posts the file error.
bool CheckReceiveFile(MessagePoster& poster, const QString& path);

enum class SaveKind {
    Replace,      // the records are the whole new contents of the file
    KeepPrevious, // the records are an interrupted set: the file as it stood is kept beside it
};

// Where a save put the records, and what it kept.
struct SaveOutcome {
    bool written = false;      // the whole list reached the data file
    QString file;              // the file written, when written
    QString backupKept;        // the data file as it stood before, when kept
    QString recoveryFile;      // where the records went instead, when anywhere
    int unholdableRecords = 0; // records kept that the file cannot give back as they came
};

// Writes every record of the list to the data file at `path`, posting its messages.
// The file keeps its links, owner and mode. When it cannot take the records, they go
// to a recovery file in the user's data folder instead, and the messages name it.
SaveOutcome SaveRecordsFile(MessagePoster& poster, const RecordList& lstRecords, const QString& path,
                            SaveKind kind = SaveKind::Replace);

} // namespace ql

namespace ql {

// Writes every record of the list to a new file, never over one that exists: the
// first of nameFor(1), nameFor(2) and on that is free, placed whole, synced to disk.
// When none can take the records, they take the recovery path of SaveRecordsFile.
SaveOutcome SaveNewRecordsFile(MessagePoster& poster, const RecordList& lstRecords,
                               const std::function<QString(int n)>& nameFor);

} // namespace ql
