#include "records/RecordFiles.h"

#include "eventlog/MessagePoster.h"
#include "eventlog/Messages.h"
#include "records/DataFileSystem.h"
#include "records/RecordFormat.h"
#include "records/RecordList.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <optional>

namespace ql {
namespace {

using fs::PathFacts;

// Numbered names for backups and recovery files before giving up on a folder.
constexpr int kMaxNameTries = 999;

// The file system would cut such a name at the NUL and use another file.
bool usableName(const QString& path)
{
    return !path.isEmpty() && !path.contains(QChar::Null);
}

PathFacts inspectUsable(const QString& path)
{
    if (usableName(path))
        return fs::inspect(path);
    PathFacts refused;
    refused.kind = PathFacts::Kind::Other;
    return refused;
}

bool canTakeRecords(const PathFacts& facts)
{
    return facts.kind == PathFacts::Kind::Regular ? facts.writable
                                                  : facts.kind == PathFacts::Kind::Missing && facts.folderWritable;
}

std::optional<QStringList> readRecords(const QString& path)
{
    if (!usableName(path))
        return std::nullopt;
    RecordSplitter splitter;
    if (!fs::readRegularFile(path, [&splitter](QByteArrayView chunk) { return splitter.feed(chunk); }))
        return std::nullopt;
    return splitter.finish();
}

QString dataFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return !folder.isEmpty() && QDir().mkpath(folder) ? folder : QString();
}

// The first of stem + suffix, stem + ".2" + suffix and so on that nothing uses yet.
QString freeName(const QString& stem, const QString& suffix)
{
    for (int n = 1; n <= kMaxNameTries; ++n) {
        const QString name = n == 1 ? stem + suffix : stem + QLatin1Char('.') + QString::number(n) + suffix;
        if (!fs::nameTaken(name))
            return name;
    }
    return {};
}

// Puts a finished temporary file under its name in one step; false leaves nothing behind.
bool publish(const QString& temporary, const QString& name)
{
    if (!temporary.isEmpty() && !name.isEmpty() && fs::renameOver(temporary, name))
        return true;
    if (!temporary.isEmpty())
        fs::removeFile(temporary);
    return false;
}

// Keeps the file as it stands under a new name, whole or not at all, never over an
// earlier backup. A second link costs nothing where the file itself is not rewritten.
QString keepBackup(const PathFacts& facts, bool mayLink)
{
    const QFileInfo target(facts.target);
    const QString folder = facts.folderWritable ? target.absolutePath() : dataFolder();
    if (folder.isEmpty())
        return {};
    const QString name = freeName(folder + QLatin1Char('/') + target.fileName(), QStringLiteral(".bak"));
    if (name.isEmpty())
        return {};
    if (mayLink && fs::linkNew(facts.target, name))
        return name;
    return publish(fs::copyTemporary(name, facts.target), name) ? name : QString();
}

QString writeRecovery(const QString& path, const QByteArray& bytes)
{
    const QString folder = dataFolder();
    if (folder.isEmpty())
        return {};
    QString base = usableName(path) ? QFileInfo(path).completeBaseName() : QString();
    if (base.isEmpty())
        base = QStringLiteral("received");
    const QString stem = folder + QLatin1Char('/') + base + QLatin1Char('-')
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString name = freeName(stem, QStringLiteral(".txt"));
    return publish(fs::writeTemporary(name, bytes), name) ? name : QString();
}

// The previous contents go back if the new ones did not fit.
void restoreFromBackup(const QString& target, const QString& backup)
{
    QFile file(backup);
    if (file.open(QIODevice::ReadOnly))
        fs::overwriteInPlace(target, file.readAll());
}

// Writes the records to the data file, keeping the previous file in `kept` where
// it is asked for or where replacing in place needs it.
bool writeDataFile(const PathFacts& facts, const QByteArray& bytes, SaveKind kind, QString& kept)
{
    if (facts.kind == PathFacts::Kind::Missing)
        return canTakeRecords(facts) && publish(fs::writeTemporary(facts.target, bytes), facts.target);
    if (!canTakeRecords(facts))
        return false;

    // Several links, another owner or a locked folder: only the file's own contents
    // can change, and a failure part-way would leave it half new.
    const bool inPlace = !facts.renameKeepsIdentity;
    if (facts.sizeBytes > 0 && (kind == SaveKind::KeepPrevious || inPlace)) {
        kept = keepBackup(facts, !inPlace);
        if (kept.isEmpty())
            return false;
    }
    if (!inPlace)
        return publish(fs::writeTemporary(facts.target, bytes, &facts), facts.target);
    if (fs::overwriteInPlace(facts.target, bytes)) {
        // A complete set needs no safety copy once it is on disk.
        if (kind == SaveKind::Replace && !kept.isEmpty() && fs::removeFile(kept))
            kept.clear();
        return true;
    }
    if (!kept.isEmpty())
        restoreFromBackup(facts.target, kept);
    return false;
}

} // namespace

bool LoadRecordsFile(MessagePoster& poster, RecordList& lstRecords, const QString& path)
{
    lstRecords.clear();
    poster.postMessage(msg::kOpeningFile);

    // No path is a cancelled choice with nothing remembered, not a failure.
    if (path.isEmpty()) {
        poster.postMessage(msg::foundRecords(0));
        return true;
    }

    std::optional<QStringList> records = readRecords(path);
    if (!records) {
        poster.postMessage(msg::kFileError);
        return false;
    }
    const auto count = static_cast<int>(records->size());
    lstRecords.assign(std::move(*records));
    poster.postMessage(msg::foundRecords(count));
    return true;
}

bool CheckReceiveFile(MessagePoster& poster, const QString& path)
{
    if (canTakeRecords(inspectUsable(path)))
        return true;
    poster.postMessage(msg::kFileError);
    return false;
}

SaveOutcome SaveRecordsFile(MessagePoster& poster, const RecordList& lstRecords, const QString& path, SaveKind kind)
{
    poster.postMessage(msg::kSavingFile);
    const QByteArray bytes = joinRecords(lstRecords.records());
    SaveOutcome outcome;
    outcome.written = writeDataFile(inspectUsable(path), bytes, kind, outcome.backupKept);
    if (!outcome.backupKept.isEmpty())
        poster.postMessage(msg::previousFileKept(outcome.backupKept));
    if (outcome.written) {
        poster.postMessage(msg::writtenRecords(lstRecords.count()));
        return outcome;
    }
    poster.postMessage(msg::kFileError);
    outcome.recoveryFile = writeRecovery(path, bytes);
    poster.postMessage(outcome.recoveryFile.isEmpty() ? msg::kRecordsOnlyInList
                                                      : msg::recordsRecovered(outcome.recoveryFile));
    return outcome;
}

} // namespace ql
