#include "common/SystemText.h"

#include <windows.h>

namespace ql {

std::string systemText(int error)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&buffer), 0,
                                        nullptr);
    const int wide = static_cast<int>(length);
    const int size = length > 0 ? WideCharToMultiByte(CP_UTF8, 0, buffer, wide, nullptr, 0, nullptr, nullptr) : 0;
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, buffer, wide, text.data(), size, nullptr, nullptr);
    LocalFree(buffer);
    // The system's texts end in a line break.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return text.empty() ? "system error " + std::to_string(static_cast<DWORD>(error)) : text;
}

} // namespace ql
