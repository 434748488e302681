#pragma once

#include <QString>

namespace ql {

class FileDialog;
class MessagePoster;
class RecordList;
struct TransferState;

// The click on cmdBrowse: chooses the data file of the direction named by
// `processText` through comFile, remembers it in `state`, and in the PC->HHC
// direction loads it into lstRecords. Returns the new text of txtFile.
QString BrowseForDataFile(FileDialog& comFile, const QString& processText, TransferState& state,
                          MessagePoster& poster, RecordList& lstRecords);

} // namespace ql
