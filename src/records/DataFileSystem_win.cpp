#include "records/DataFileSystem.h"

#include "common/SystemText.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <windows.h>

#include <aclapi.h>

#include <algorithm>
#include <string>

namespace ql::fs {
namespace {

constexpr DWORD kChunkBytes = 64 * 1024;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr int kTemporaryNameTries = 16;
constexpr int kTemporaryDigits = 8; // hexadecimal, after the data file's hidden name

// Closes on every path out.
class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle()
    {
        if (valid())
            CloseHandle(m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    // A close that fails can mean the data never reached the disk.
    bool close()
    {
        const HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != 0;
    }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};

std::wstring native(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

// A file on a disk, never a device (NUL, COM1), a pipe or a folder.
bool isRegular(HANDLE handle, BY_HANDLE_FILE_INFORMATION* info = nullptr)
{
    BY_HANDLE_FILE_INFORMATION facts {};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &facts)
        || (facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    if (info != nullptr)
        *info = facts;
    return true;
}

HANDLE openExisting(const QString& path, DWORD access)
{
    const HANDLE handle = CreateFileW(native(path).c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE || isRegular(handle))
        return handle;
    CloseHandle(handle);
    return INVALID_HANDLE_VALUE;
}

bool writeAll(HANDLE handle, QByteArrayView bytes)
{
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<qsizetype>(left, kChunkBytes * 16));
        if (!WriteFile(handle, data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        left -= written;
    }
    return true;
}

// Windows tells who may add files to a folder only by its access lists, so this
// asks the folder itself, with a file that is gone again when its handle closes.
bool folderWritable(const QString& path)
{
    const QString probe = QFileInfo(path).absolutePath() + QStringLiteral("/.quorvalink-probe-%1")
                                                                .arg(QRandomGenerator::global()->generate64(), 0, 16);
    Handle handle(CreateFileW(native(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return handle.valid();
}

// The reason of the call that just failed; a failure the system did not name is a write fault.
DWORD lastError()
{
    const DWORD error = GetLastError();
    return error != 0 ? error : DWORD {ERROR_WRITE_FAULT};
}

QString lastSystemText()
{
    return QString::fromStdString(systemText(lastError()));
}

// Whether the user this process runs as owns the file.
bool ownedByUser(const QString& path)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(native(path).c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                              nullptr, nullptr, &descriptor)
        != ERROR_SUCCESS)
        return false;
    bool mine = false;
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        alignas(TOKEN_USER) BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
        DWORD size = 0;
        mine = GetTokenInformation(token, TokenUser, user, sizeof(user), &size)
            && EqualSid(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, owner);
        CloseHandle(token);
    }
    LocalFree(descriptor);
    return mine;
}

// Removes the temporary files of `name` that a killed save left: this user's own.
// One that a save is writing cannot go, as it is open without sharing.
void removeStaleTemporaries(const QFileInfo& name)
{
    const QString prefix = QStringLiteral(".") + name.fileName() + QLatin1Char('.');
    const QString folder = name.absolutePath() + QLatin1Char('/');
    WIN32_FIND_DATAW found {};
    const HANDLE search = FindFirstFileW(native(folder + prefix + QLatin1Char('*')).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const QString entry = QString::fromWCharArray(found.cFileName);
        const auto hexDigit = [](QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'); };
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0
            && entry.size() == prefix.size() + kTemporaryDigits && entry.startsWith(prefix)
            && std::all_of(entry.begin() + prefix.size(), entry.end(), hexDigit) && ownedByUser(folder + entry))
            DeleteFileW(native(folder + entry).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Writes through `fill` into a new file beside `name`, then puts it in the place of
// `name`, or only at a new name when `replace` is false. Empty when done; otherwise
// the system's reason.
template <typename Fill>
QString replaceThrough(const QString& name, Fill fill, bool replace = true)
{
    const QFileInfo info(name);
    removeStaleTemporaries(info);
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        const QString temporary = info.absolutePath() + QStringLiteral("/.") + info.fileName()
            + QStringLiteral(".%1").arg(QRandomGenerator::global()->generate(), kTemporaryDigits, 16, QLatin1Char('0'));
        Handle handle(CreateFileW(native(temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!handle.valid()) {
            if (GetLastError() == ERROR_FILE_EXISTS)
                continue;
            return lastSystemText();
        }
        QString failure;
        if (!fill(handle.get()) || !FlushFileBuffers(handle.get()))
            failure = lastSystemText();
        if (!handle.close() && failure.isEmpty())
            failure = lastSystemText();
        if (failure.isEmpty()
            && !MoveFileExW(native(temporary).c_str(), native(name).c_str(),
                            (replace ? MOVEFILE_REPLACE_EXISTING : 0) | MOVEFILE_WRITE_THROUGH))
            failure = lastSystemText();
        if (!failure.isEmpty())
            DeleteFileW(native(temporary).c_str());
        return failure;
    }
    return QString::fromStdString(systemText(ERROR_FILE_EXISTS));
}

} // namespace

PathFacts inspect(const QString& path)
{
    PathFacts facts;
    facts.target = path;
    Handle handle(CreateFileW(native(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.valid()) {
        const DWORD error = GetLastError();
        facts.kind = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathFacts::Kind::Missing
                                                                                     : PathFacts::Kind::Other;
        facts.folderWritable = folderWritable(path);
        if (facts.kind == PathFacts::Kind::Other)
            facts.refusal = QString::fromStdString(systemText(error));
        else if (!facts.folderWritable)
            facts.refusal = QFileInfo(path).absolutePath() + QStringLiteral(": no new file can be made there");
        return facts;
    }
    BY_HANDLE_FILE_INFORMATION info {};
    if (!isRegular(handle.get(), &info)) {
        facts.kind = PathFacts::Kind::Other;
        facts.refusal = QStringLiteral("not a regular file");
        return facts;
    }
    facts.kind = PathFacts::Kind::Regular;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (!canonical.isEmpty())
        facts.target = canonical;
    facts.sizeBytes = (static_cast<qint64>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    facts.writable = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0
                  && Handle(openExisting(facts.target, GENERIC_WRITE)).valid();
    if (!facts.writable)
        facts.refusal = QStringLiteral("the file is read-only or in use");
    facts.folderWritable = folderWritable(facts.target);
    // A renamed file takes its access list from the folder, as the replaced one
    // almost always did; what it cannot take over is a second link.
    facts.renameKeepsIdentity = facts.folderWritable && info.nNumberOfLinks == 1;
    return facts;
}

QString untrustedLink(const QString&)
{
    // Windows has no shared sticky folders: only administrators may make links.
    return {};
}

bool readRegularFile(const QString& path, const std::function<bool(QByteArrayView chunk)>& consume)
{
    Handle handle(openExisting(path, GENERIC_READ));
    if (!handle.valid())
        return false;
    QByteArray buffer(kChunkBytes, Qt::Uninitialized);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(handle.get(), buffer.data(), kChunkBytes, &got, nullptr))
            return false;
        if (got == 0)
            return true;
        if (!consume(QByteArrayView(buffer.constData(), got)))
            return false;
    }
}

QString replaceWith(const QString& name, QByteArrayView bytes, const PathFacts*)
{
    return replaceThrough(name, [&](HANDLE handle) { return writeAll(handle, bytes); });
}

QString placeNew(const QString& name, QByteArrayView bytes, bool& taken)
{
    const QString failure = replaceThrough(name, [&](HANDLE handle) { return writeAll(handle, bytes); }, false);
    taken = !failure.isEmpty() && nameTaken(name);
    return failure;
}

QString replaceWithCopy(const QString& name, const QString& copyOf)
{
    Handle from(openExisting(copyOf, GENERIC_READ));
    if (!from.valid())
        return lastSystemText();
    return replaceThrough(name, [&](HANDLE handle) {
        QByteArray buffer(kChunkBytes, Qt::Uninitialized);
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(from.get(), buffer.data(), kChunkBytes, &got, nullptr))
                return false;
            if (got == 0)
                return true;
            if (!writeAll(handle, QByteArrayView(buffer.constData(), got)))
                return false;
        }
    });
}

bool linkNew(const QString& existing, const QString& newName)
{
    return CreateHardLinkW(native(newName).c_str(), native(existing).c_str(), nullptr) != 0;
}

bool nameTaken(const QString& path)
{
    if (GetFileAttributesW(native(path).c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

bool removeFile(const QString& path)
{
    return DeleteFileW(native(path).c_str()) != 0;
}

QString overwriteInPlace(const QString& path, QByteArrayView bytes)
{
    Handle handle(openExisting(path, GENERIC_WRITE));
    if (!handle.valid())
        return lastSystemText();
    QString failure;
    if (!writeAll(handle.get(), bytes) || !SetEndOfFile(handle.get()) || !FlushFileBuffers(handle.get()))
        failure = lastSystemText();
    if (!handle.close() && failure.isEmpty())
        failure = lastSystemText();
    return failure;
}

QStringList temporaryFolders()
{
    return {QDir::tempPath()};
}

QString createPrivate(const QString& path, QByteArrayView bytes, bool& taken)
{
    // No sharing, and a new name only: the file's access list comes from the
    // user's own folders.
    Handle handle(CreateFileW(native(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
    if (!handle.valid()) {
        const DWORD error = GetLastError();
        taken = error == ERROR_FILE_EXISTS;
        return QString::fromStdString(systemText(error));
    }
    taken = false;
    DWORD error = 0;
    if (!writeAll(handle.get(), bytes) || !FlushFileBuffers(handle.get()))
        error = lastError();
    if (!handle.close() && error == 0)
        error = lastError();
    if (error == 0)
        return {};
    DeleteFileW(native(path).c_str());
    return QString::fromStdString(systemText(error));
}

} // namespace ql::fs
