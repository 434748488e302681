#include "app/SingleInstanceLock.h"

#include "common/SystemText.h"

#include <QDir>

#include <windows.h>

namespace ql {
SingleInstanceLock::SingleInstanceLock() : SingleInstanceLock(defaultPath()) {}

SingleInstanceLock::SingleInstanceLock(const QString& lockPath) : m_path(lockPath) {}

SingleInstanceLock::~SingleInstanceLock()
{
    if (m_handle != -1)
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

QString SingleInstanceLock::defaultPath()
{
    // The user's own temporary folder: every login of the user meets there, and
    // other users have their own.
    return QDir(QDir::tempPath()).filePath(QStringLiteral("quorvalink.lock"));
}

SingleInstanceLock::Outcome SingleInstanceLock::tryAcquire()
{
    if (m_handle != -1)
        return Outcome::Acquired;
    // Opened for this process alone, and gone with its last handle: the system lets
    // go of it however the process ends, so nothing stale is ever left behind. A
    // planted link is opened as itself, never followed.
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(m_path).utf16()),
                                      GENERIC_READ | DELETE, 0, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE
                                          | FILE_FLAG_OPEN_REPARSE_POINT,
                                      nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION)
            return Outcome::HeldElsewhere;
        m_failure = m_path + QStringLiteral(": ") + QString::fromStdString(systemText(error));
        return Outcome::Unavailable;
    }
    m_handle = reinterpret_cast<std::intptr_t>(handle);
    return Outcome::Acquired;
}

} // namespace ql
