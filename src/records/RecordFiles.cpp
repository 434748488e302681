#include "records/RecordFiles.h"

#include "eventlog/MessagePoster.h"
#include "eventlog/Messages.h"
#include "records/RecordFormat.h"
#include "records/RecordList.h"

#include <QFile>
#include <QSaveFile>

#include <optional>

namespace ql {
namespace {

// The file system would cut such a name at the NUL and use another file.
bool usableName(const QString& path)
{
    return !path.isEmpty() && !path.contains(QChar::Null);
}

// The whole file at once: one read and one pass is what keeps a full file fast.
// Empty when it cannot be read to its end or holds more records than allowed.
std::optional<QStringList> readRecords(const QString& path)
{
    QFile file(path);
    if (!usableName(path) || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return splitRecords(bytes);
}

// The old file is replaced only once every byte of the new one is on disk.
bool writeRecords(const QString& path, const QStringList& records)
{
    QSaveFile file(path);
    if (!usableName(path) || !file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = joinRecords(records);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace

void LoadRecordsFile(MessagePoster& poster, RecordList& lstRecords, const QString& path)
{
    lstRecords.clear();
    poster.postMessage(msg::kOpeningFile);

    // No path is a cancelled choice with nothing remembered, not a failure.
    if (path.isEmpty()) {
        poster.postMessage(msg::foundRecords(0));
        return;
    }

    std::optional<QStringList> records = readRecords(path);
    if (!records) {
        poster.postMessage(msg::kFileError);
        return;
    }
    const auto count = static_cast<int>(records->size());
    lstRecords.assign(std::move(*records));
    poster.postMessage(msg::foundRecords(count));
}

bool SaveRecordsFile(MessagePoster& poster, const RecordList& lstRecords, const QString& path)
{
    poster.postMessage(msg::kSavingFile);
    if (!writeRecords(path, lstRecords.records())) {
        poster.postMessage(msg::kFileError);
        return false;
    }
    poster.postMessage(msg::writtenRecords(lstRecords.count()));
    return true;
}

} // namespace ql
