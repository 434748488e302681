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

// Why `path` is not to be followed, or empty when it may be.
QString linkRefusal(const QString& path)
{
    const QString link = fs::untrustedLink(path);
    return link.isEmpty()
        ? QString()
        : QStringLiteral("the symbolic link %1 in a shared folder belongs to another user, so it is not followed")
              .arg(link);
}

PathFacts inspectUsable(const QString& path)
{
    PathFacts refused;
    refused.kind = PathFacts::Kind::Other;
    refused.refusal
        = usableName(path) ? linkRefusal(path) : QStringLiteral("the name is empty or holds a NUL character");
    return refused.refusal.isEmpty() ? fs::inspect(path) : refused;
}

bool canTakeRecords(const PathFacts& facts)
{
    return facts.kind == PathFacts::Kind::Regular ? facts.writable
                                                  : facts.kind == PathFacts::Kind::Missing && facts.folderWritable;
}

std::optional<QStringList> readRecords(const QString& path)
{
    if (!usableName(path) || !fs::untrustedLink(path).isEmpty())
        return std::nullopt;
    RecordSplitter splitter;
    if (!fs::readRegularFile(path, [&splitter](QByteArrayView chunk) { return splitter.feed(chunk); }))
        return std::nullopt;
    return splitter.finish();
}

const QString kNoDataFolder = QStringLiteral("the user's data folder cannot be made");

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

// Keeps the file as it stands under a new name, whole or not at all, never over an
// earlier backup. A second link costs nothing where the file itself is not rewritten.
// Returns the name, or an empty text with the reason in `failure`.
QString keepBackup(const PathFacts& facts, bool mayLink, QString& failure)
{
    const QFileInfo target(facts.target);
    const QString folder = facts.folderWritable ? target.absolutePath() : dataFolder();
    failure = folder.isEmpty() ? kNoDataFolder : linkRefusal(folder);
    if (!failure.isEmpty())
        return {};
    const QString name = freeName(folder + QLatin1Char('/') + target.fileName(), QStringLiteral(".bak"));
    if (name.isEmpty()) {
        failure = QStringLiteral("every name for it is taken");
        return {};
    }
    if (mayLink && fs::linkNew(facts.target, name))
        return name;
    failure = fs::replaceWithCopy(name, facts.target);
    return failure.isEmpty() ? name : QString();
}

struct Recovery {
    QString path;     // where the records went; empty when nowhere
    QStringList whyNot; // each place tried in vain, and why
};

// A new file of the user's alone, in the data folder or else a temporary folder;
// created under its own name, so that nothing planted there is written through.
Recovery writeRecovery(const QString& path, const QByteArray& bytes)
{
    QString base = usableName(path) ? QFileInfo(path).completeBaseName() : QString();
    if (base.isEmpty())
        base = QStringLiteral("received");
    const QString fileName = base + QLatin1Char('-')
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));

    Recovery recovery;
    QStringList folders = fs::temporaryFolders();
    const QString data = dataFolder();
    if (!data.isEmpty())
        folders.prepend(data);
    else
        recovery.whyNot.append(kNoDataFolder);
    for (const QString& folder : folders) {
        // The only copy of the records may not land where another user can remove it.
        const QString refusal = linkRefusal(folder);
        if (!refusal.isEmpty()) {
            recovery.whyNot.append(folder + QStringLiteral(": ") + refusal);
            continue;
        }
        for (int n = 1; n <= kMaxNameTries; ++n) {
            const QString name = folder + QLatin1Char('/') + fileName
                + (n == 1 ? QString() : QLatin1Char('.') + QString::number(n)) + QStringLiteral(".txt");
            bool taken = false;
            const QString failure = fs::createPrivate(name, bytes, taken);
            if (failure.isEmpty()) {
                recovery.path = name;
                return recovery;
            }
            if (!taken || n == kMaxNameTries) {
                recovery.whyNot.append(folder + QStringLiteral(": ") + failure);
                break;
            }
        }
    }
    return recovery;
}

// The previous contents go back if the new ones did not fit.
void restoreFromBackup(const QString& target, const QString& backup)
{
    QFile file(backup);
    if (file.open(QIODevice::ReadOnly))
        fs::overwriteInPlace(target, file.readAll());
}

// Writes the records to the data file, keeping the previous file in `kept` where
// it is asked for or where replacing in place needs it. Empty when done; otherwise
// why not.
QString writeDataFile(const PathFacts& facts, const QByteArray& bytes, SaveKind kind, QString& kept)
{
    // A refusal without words must still read as a failure.
    if (!canTakeRecords(facts))
        return facts.refusal.isEmpty() ? QStringLiteral("it cannot be written") : facts.refusal;
    if (facts.kind == PathFacts::Kind::Missing)
        return fs::replaceWith(facts.target, bytes);

    // Several links, another owner or a locked folder: only the file's own contents
    // can change, and a failure part-way would leave it half new.
    const bool inPlace = !facts.renameKeepsIdentity;
    if (facts.sizeBytes > 0 && (kind == SaveKind::KeepPrevious || inPlace)) {
        QString failure;
        kept = keepBackup(facts, !inPlace, failure);
        if (kept.isEmpty())
            return QStringLiteral("the file as it stood could not be kept: ") + failure;
    }
    if (!inPlace)
        return fs::replaceWith(facts.target, bytes, &facts);
    const QString failure = fs::overwriteInPlace(facts.target, bytes);
    if (failure.isEmpty()) {
        // A complete set needs no safety copy once it is on disk.
        if (kind == SaveKind::Replace && !kept.isEmpty() && fs::removeFile(kept))
            kept.clear();
    } else if (!kept.isEmpty()) {
        restoreFromBackup(facts.target, kept);
    }
    return failure;
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
        const QString refusal = usableName(path) ? linkRefusal(path) : QString();
        if (!refusal.isEmpty())
            poster.postMessage(msg::dataFileRefused(path, refusal));
        return false;
    }
    const auto count = static_cast<int>(records->size());
    lstRecords.assign(std::move(*records));
    poster.postMessage(msg::foundRecords(count));
    return true;
}

bool CheckReceiveFile(MessagePoster& poster, const QString& path)
{
    const PathFacts facts = inspectUsable(path);
    if (canTakeRecords(facts))
        return true;
    poster.postMessage(msg::kFileError);
    if (!facts.refusal.isEmpty())
        poster.postMessage(msg::dataFileRefused(path, facts.refusal));
    return false;
}

namespace {

// Tells where the records went, after the save to `path` ended with `failure`
// (empty when written), and what the file cannot give back.
void finishSave(MessagePoster& poster, const RecordList& lstRecords, const QString& path, const QByteArray& bytes,
                const QString& failure, SaveOutcome& outcome)
{
    outcome.written = failure.isEmpty();
    if (!outcome.backupKept.isEmpty())
        poster.postMessage(msg::previousFileKept(outcome.backupKept));
    if (outcome.written) {
        outcome.file = path;
        poster.postMessage(msg::writtenRecords(lstRecords.count()));
    } else {
        poster.postMessage(msg::kFileError);
        poster.postMessage(msg::dataFileRefused(path, failure));
        const Recovery recovery = writeRecovery(path, bytes);
        outcome.recoveryFile = recovery.path;
        poster.postMessage(recovery.path.isEmpty()
                               ? msg::recordsLost(lstRecords.count(), recovery.whyNot.join(QStringLiteral("; ")))
                               : msg::recordsRecovered(recovery.path));
    }
    // Kept byte for byte all the same; the file just cannot give them back as they came.
    const UnholdableRecords unholdable = findUnholdableRecords(lstRecords.records());
    outcome.unholdableRecords = unholdable.count;
    if (unholdable.count > 0)
        poster.postMessage(unholdable.firstLength > 0
                               ? msg::recordTooLong(unholdable.firstNumber, unholdable.firstLength, kMaxRecordLength)
                               : msg::recordHoldsLineEnd(unholdable.firstNumber));
}

} // namespace

SaveOutcome SaveRecordsFile(MessagePoster& poster, const RecordList& lstRecords, const QString& path, SaveKind kind)
{
    poster.postMessage(msg::kSavingFile);
    const QByteArray bytes = joinRecords(lstRecords.records());
    SaveOutcome outcome;
    const QString failure = writeDataFile(inspectUsable(path), bytes, kind, outcome.backupKept);
    finishSave(poster, lstRecords, path, bytes, failure, outcome);
    return outcome;
}

SaveOutcome SaveNewRecordsFile(MessagePoster& poster, const RecordList& lstRecords,
                               const std::function<QString(int n)>& nameFor)
{
    poster.postMessage(msg::kSavingFile);
    const QByteArray bytes = joinRecords(lstRecords.records());
    SaveOutcome outcome;
    QString path = nameFor(1);
    QString failure = linkRefusal(path);
    for (int n = 2; failure.isEmpty(); ++n) {
        bool taken = false;
        failure = fs::placeNew(path, bytes, taken);
        if (!taken)
            break;
        failure = n > kMaxNameTries ? QStringLiteral("every name for it is taken") : QString();
        if (failure.isEmpty())
            path = nameFor(n);
    }
    finishSave(poster, lstRecords, path, bytes, failure, outcome);
    return outcome;
}

} // namespace ql
