#include "records/DataFileSystem.h"

#include "common/SystemText.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ql::fs {
namespace {

constexpr qsizetype kChunkBytes = 64 * 1024;

// Closes on every path out.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // A close that fails can mean the data never reached the disk.
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd = -1;
};

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

// O_NONBLOCK keeps open() from waiting for a FIFO's other end; it changes nothing for
// regular files.
int openExisting(const QString& path, int access)
{
    int fd = -1;
    do {
        fd = ::open(encoded(path).constData(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool writeAll(int fd, QByteArrayView bytes)
{
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(std::min(left, kChunkBytes * 16)));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// The reason of the call that just failed; a failure the system did not name is an I/O error.
int lastError()
{
    return errno != 0 ? errno : EIO;
}

// Anyone may add names to such a folder, and only their owner may remove them.
bool sharedFolder(const struct stat& folder)
{
    return (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
}

// Empty when names can be added to and removed from the folder of `path`;
// otherwise the folder and the system's reason.
QString folderRefusal(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const QByteArray name = encoded(folder);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return folder + QStringLiteral(": ") + QString::fromStdString(systemText(errno));
    if (!S_ISDIR(st.st_mode))
        return folder + QStringLiteral(": ") + QString::fromStdString(systemText(ENOTDIR));
    if (::access(name.constData(), W_OK | X_OK) != 0)
        return folder + QStringLiteral(": ") + QString::fromStdString(systemText(errno));
    return {};
}

// Where a relative path starts from.
QByteArray workingFolder()
{
    char* here = ::getcwd(nullptr, 0);
    const QByteArray folder = here != nullptr ? QByteArray(here) : QByteArray("/");
    std::free(here);
    return folder;
}

// Whether `entry` is `prefix` and the six characters that mkostemp fills in.
bool isTemporaryName(QByteArrayView entry, const QByteArray& prefix)
{
    const auto alphanumeric = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    };
    return entry.size() == prefix.size() + 6 && entry.startsWith(prefix)
        && std::all_of(entry.begin() + prefix.size(), entry.end(), alphanumeric);
}

// Removes the temporary files of `prefix` that a killed save left: this user's own,
// and locked by no save in progress. A lock, unlike a look at which processes hold
// the file, also shows another user's save, root's writing a file of ours for one.
void removeStaleTemporaries(const QByteArray& folder, const QByteArray& prefix)
{
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.constData()), &::closedir);
    if (!dir)
        return;
    const int at = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        struct stat named {};
        if (!isTemporaryName(entry->d_name, prefix) || ::fstatat(at, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) != 0
            || !S_ISREG(named.st_mode) || named.st_uid != ::geteuid())
            continue;
        const Fd fd(::openat(at, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat held {};
        if (fd.valid() && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 && ::fstat(fd.get(), &held) == 0
            && held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            ::unlinkat(at, entry->d_name, 0);
    }
}

// Gives the temporary file the name `name` only if nothing has it; false with
// errno EEXIST if something has. Where the file system cannot rename that way, a
// second link does the same.
bool renameNoReplace(const QByteArray& temporary, const QByteArray& name)
{
    if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, name.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    if (::link(temporary.constData(), name.constData()) != 0)
        return false;
    ::unlink(temporary.constData());
    return true;
}

// The mode a plain create would give: read and write for all, less the umask.
bool plainMode(int fd)
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return ::fchmod(fd, 0666 & ~mask) == 0;
}

// Writes through `fill` into a new hidden file beside `name`, then puts it in the
// place of `name`, or only at a new name when `replace` is false. Empty when done;
// otherwise the system's reason.
QString replaceThrough(const QString& name, const std::function<bool(int fd)>& fill, bool replace = true)
{
    const QFileInfo info(name);
    const QByteArray folder = encoded(info.absolutePath());
    const QByteArray prefix = encoded(QLatin1Char('.') + info.fileName()) + '.';
    removeStaleTemporaries(folder, prefix);
    QByteArray temporary = folder + '/' + prefix + "XXXXXX";
    Fd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.valid())
        return QString::fromStdString(systemText(lastError()));
    // Held until the file has its name, so that no other save takes it for a stale
    // one. Where the file system has no locks, no save removes any.
    const Fd lock(::flock(fd.get(), LOCK_EX) == 0 ? ::dup(fd.get()) : -1);
    int error = fill(fd.get()) && ::fsync(fd.get()) == 0 ? 0 : lastError();
    if (!fd.close() && error == 0)
        error = lastError();
    const bool placed = error == 0
        && (replace ? ::rename(temporary.constData(), encoded(name).constData()) == 0
                    : renameNoReplace(temporary, encoded(name)));
    if (error == 0 && !placed)
        error = lastError();
    if (error == 0)
        return {};
    ::unlink(temporary.constData());
    return QString::fromStdString(systemText(error));
}

} // namespace

PathFacts inspect(const QString& path)
{
    PathFacts facts;
    facts.target = path;
    const QByteArray name = encoded(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        const int error = errno;
        struct stat dangling {};
        // A broken link: a file written there would land somewhere else.
        const bool missing = error == ENOENT && ::lstat(name.constData(), &dangling) != 0;
        facts.kind = missing ? PathFacts::Kind::Missing : PathFacts::Kind::Other;
        const QString folderProblem = folderRefusal(path);
        facts.folderWritable = folderProblem.isEmpty();
        facts.refusal = missing           ? folderProblem
                        : error == ENOENT ? QStringLiteral("a symbolic link to nothing")
                                          : QString::fromStdString(systemText(error));
        return facts;
    }
    if (!S_ISREG(st.st_mode)) {
        facts.kind = PathFacts::Kind::Other;
        facts.refusal = S_ISDIR(st.st_mode) ? QString::fromStdString(systemText(EISDIR))
                                            : QStringLiteral("not a regular file");
        return facts;
    }
    facts.kind = PathFacts::Kind::Regular;
    if (char* resolved = ::realpath(name.constData(), nullptr)) {
        facts.target = QFile::decodeName(resolved);
        std::free(resolved);
    }
    facts.sizeBytes = st.st_size;
    facts.permissions = st.st_mode & 07777;
    facts.owner = st.st_uid;
    facts.group = st.st_gid;
    facts.writable = ::access(encoded(facts.target).constData(), W_OK) == 0;
    struct stat folder {};
    if (!facts.writable) {
        facts.refusal = QString::fromStdString(systemText(errno));
    } else if (st.st_nlink > 1 && ::stat(encoded(QFileInfo(facts.target).absolutePath()).constData(), &folder) == 0
               && sharedFolder(folder)) {
        // Where the kernel does not guard hard links, anyone may give a file of ours
        // a second name in such a folder and wait for it to be written through.
        facts.writable = false;
        facts.refusal = QStringLiteral("the file has %1 links and this one is in a shared folder, where another user "
                                       "may have made it, so it is not written through")
                            .arg(st.st_nlink);
    }
    facts.folderWritable = folderRefusal(facts.target).isEmpty();
    const bool ownerKept = ::geteuid() == 0 || (st.st_uid == ::geteuid() && st.st_gid == ::getegid());
    facts.renameKeepsIdentity = facts.folderWritable && st.st_nlink == 1 && ownerKept;
    return facts;
}

QString untrustedLink(const QString& path)
{
    // Longer chains fail at the system's own limit, which says so itself.
    constexpr int kMaxLinks = 40;
    QByteArray rest = encoded(path);
    QByteArray folder = rest.startsWith('/') ? QByteArray("/") : workingFolder();
    int links = 0;
    while (!rest.isEmpty()) {
        const qsizetype slash = rest.indexOf('/');
        const QByteArray part = slash < 0 ? rest : rest.left(slash);
        rest = slash < 0 ? QByteArray() : rest.mid(slash + 1);
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            folder.truncate(std::max<qsizetype>(folder.lastIndexOf('/'), 1));
            continue;
        }
        const QByteArray next = (folder == "/" ? folder : folder + '/') + part;
        struct stat entry {};
        if (::lstat(next.constData(), &entry) != 0)
            return {};
        if (!S_ISLNK(entry.st_mode)) {
            folder = next;
            continue;
        }
        struct stat holder {};
        if (::stat(folder.constData(), &holder) != 0)
            return {};
        if (sharedFolder(holder) && entry.st_uid != ::geteuid() && entry.st_uid != holder.st_uid)
            return QFile::decodeName(next);
        if (++links > kMaxLinks)
            return {};
        QByteArray target(4096, Qt::Uninitialized);
        const ssize_t size = ::readlink(next.constData(), target.data(), static_cast<size_t>(target.size()));
        if (size <= 0 || size >= target.size())
            return {};
        target.truncate(size);
        if (target.startsWith('/'))
            folder = "/";
        rest = rest.isEmpty() ? target : target + '/' + rest;
    }
    return {};
}

bool readRegularFile(const QString& path, const std::function<bool(QByteArrayView chunk)>& consume)
{
    Fd fd(openExisting(path, O_RDONLY));
    if (!fd.valid())
        return false;
    QByteArray buffer(kChunkBytes, Qt::Uninitialized);
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer.data(), static_cast<size_t>(buffer.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (!consume(QByteArrayView(buffer.constData(), got)))
            return false;
    }
}

QString replaceWith(const QString& name, QByteArrayView bytes, const PathFacts* like)
{
    return replaceThrough(name, [&](int fd) {
        // The owner first: changing it clears set-id bits that the mode then restores.
        if (like != nullptr
            && (::fchown(fd, like->owner, like->group) != 0 || ::fchmod(fd, like->permissions) != 0))
            return false;
        if (like == nullptr && !plainMode(fd))
            return false;
        return writeAll(fd, bytes);
    });
}

QString placeNew(const QString& name, QByteArrayView bytes, bool& taken)
{
    const QString failure = replaceThrough(name, [&](int fd) { return plainMode(fd) && writeAll(fd, bytes); }, false);
    taken = !failure.isEmpty() && nameTaken(name);
    return failure;
}

QString replaceWithCopy(const QString& name, const QString& copyOf)
{
    Fd from(openExisting(copyOf, O_RDONLY));
    if (!from.valid())
        return QString::fromStdString(systemText(lastError()));
    return replaceThrough(name, [&](int fd) {
        QByteArray buffer(kChunkBytes, Qt::Uninitialized);
        for (;;) {
            const ssize_t got = ::read(from.get(), buffer.data(), static_cast<size_t>(buffer.size()));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return got == 0;
            if (!writeAll(fd, QByteArrayView(buffer.constData(), got)))
                return false;
        }
    });
}

bool linkNew(const QString& existing, const QString& newName)
{
    return ::link(encoded(existing).constData(), encoded(newName).constData()) == 0;
}

bool nameTaken(const QString& path)
{
    struct stat st {};
    return ::lstat(encoded(path).constData(), &st) == 0 || errno != ENOENT;
}

bool removeFile(const QString& path)
{
    return ::unlink(encoded(path).constData()) == 0;
}

QString overwriteInPlace(const QString& path, QByteArrayView bytes)
{
    Fd fd(openExisting(path, O_WRONLY));
    if (!fd.valid())
        return QString::fromStdString(systemText(lastError()));
    int error = writeAll(fd.get(), bytes) && ::ftruncate(fd.get(), bytes.size()) == 0 && ::fsync(fd.get()) == 0
        ? 0
        : lastError();
    if (!fd.close() && error == 0)
        error = lastError();
    return error == 0 ? QString() : QString::fromStdString(systemText(error));
}

QStringList temporaryFolders()
{
    QStringList folders;
    const QString chosen = qEnvironmentVariable("TMPDIR");
    if (!chosen.isEmpty())
        folders.append(chosen);
    if (!folders.contains(QStringLiteral("/tmp")))
        folders.append(QStringLiteral("/tmp"));
    return folders;
}

QString createPrivate(const QString& path, QByteArrayView bytes, bool& taken)
{
    const QByteArray name = encoded(path);
    int fd = -1;
    do {
        fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    taken = fd < 0 && errno == EEXIST;
    if (fd < 0)
        return QString::fromStdString(systemText(errno));
    Fd file(fd);
    int error = 0;
    if (!writeAll(file.get(), bytes) || ::fsync(file.get()) != 0)
        error = errno;
    if (!file.close() && error == 0)
        error = errno;
    if (error == 0)
        return {};
    ::unlink(name.constData());
    return QString::fromStdString(systemText(error));
}

} // namespace ql::fs
