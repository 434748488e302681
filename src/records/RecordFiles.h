#pragma once

#include <QString>

namespace ql {

class MessagePoster;
class RecordList;

// Reads the data file at `path` into the records list, posting its messages.
void LoadRecordsFile(MessagePoster& poster, RecordList& lstRecords, const QString& path);

// Writes every record of the list to the data file at `path`, posting its messages.
// Returns true when the whole list reached the file.
bool SaveRecordsFile(MessagePoster& poster, const RecordList& lstRecords, const QString& path);

} // namespace ql
