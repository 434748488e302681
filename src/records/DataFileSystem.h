#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>

// The file operations the data file needs beyond plain reading and writing: telling
// a regular file from a device, keeping a replaced file's links, owner and mode,
// and putting a file in place whole or not at all. One implementation per platform.
namespace ql::fs {

// What a data file path names, links followed.
struct PathFacts {
    enum class Kind { Missing, Regular, Other }; // Other: a folder, FIFO, device, socket or broken link
    Kind kind = Kind::Missing;
    QString target;               // the file a write reaches; for a missing file, the path itself
    qint64 sizeBytes = 0;
    bool writable = false;        // a regular file may be written through this path
    bool folderWritable = false;  // names can be added to and removed from the target's folder
    bool renameKeepsIdentity = false; // a new file renamed over it keeps every link, its owner, group and mode
    unsigned permissions = 0;
    unsigned owner = 0;
    unsigned group = 0;
    QString refusal;              // why the path cannot take records, in the system's words; empty when it can
};

PathFacts inspect(const QString& path);

// The first symbolic link on the way to `path` that the kernel's protected-links
// rule would not follow for this user: one in a sticky folder that anyone may
// write to, owned by neither this user nor the folder's owner. Another user can
// plant such a link to turn a write into the overwriting of a file of ours. Empty
// when there is none.
QString untrustedLink(const QString& path);

// Hands the bytes of the regular file at `path` to `consume`, chunk by chunk, until
// the end or until `consume` returns false. Never blocks on a FIFO or a device: they
// are refused. False when the file cannot be read to its end or `consume` stopped.
bool readRegularFile(const QString& path, const std::function<bool(QByteArrayView chunk)>& consume);

// Puts a new file, synced to disk, in the place of `name` in one step, by way of a
// hidden temporary file beside it: one holding `bytes`, with the owner, group and
// mode of `like` when given, or a copy of the regular file `copyOf`. Temporary files
// of `name` that a killed save left, this user's and held by no save, go first.
// Empty when done; otherwise the system's reason, with nothing left behind.
QString replaceWith(const QString& name, QByteArrayView bytes, const PathFacts* like = nullptr);
QString replaceWithCopy(const QString& name, const QString& copyOf);
// The same for a name that must be new: a file that has it, or gets it meanwhile
// from someone else, is never replaced; `taken` then tells so.
QString placeNew(const QString& name, QByteArrayView bytes, bool& taken);

// A second name for an existing file; fails if `newName` exists.
bool linkNew(const QString& existing, const QString& newName);
// Whether anything at all, a broken link included, has this name.
bool nameTaken(const QString& path);
bool removeFile(const QString& path);

// Replaces the contents of the regular file at `path`, which keeps its identity.
// Empty when done; otherwise the system's reason.
QString overwriteInPlace(const QString& path, QByteArrayView bytes);

// Folders for the program's own files when the user's data folder cannot take
// them, in the order to try them.
QStringList temporaryFolders();

// Creates the new file `path` for this user alone, never through a name that
// exists (a planted link included), holding `bytes` synced to disk. Empty when
// done; otherwise the system's reason, with nothing left behind. `taken` tells a
// name that exists already.
QString createPrivate(const QString& path, QByteArrayView bytes, bool& taken);

} // namespace ql::fs
