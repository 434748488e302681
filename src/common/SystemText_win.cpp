#include "common/SystemText.h"

#include <windows.h>

#include <cctype>

namespace ql {

std::string systemText(int error)
{
    wchar_t* buffer = nullptr;
    const int length = static_cast<int>(FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                                           | FORMAT_MESSAGE_IGNORE_INSERTS,
                                                       nullptr, static_cast<DWORD>(error), 0,
                                                       reinterpret_cast<wchar_t*>(&buffer), 0, nullptr));
    const int size = WideCharToMultiByte(CP_UTF8, 0, buffer, length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, buffer, length, text.data(), size, nullptr, nullptr);
    LocalFree(buffer);
    // The system's texts end in a line break.
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    return text.empty() ? "system error " + std::to_string(static_cast<DWORD>(error)) : text;
}

} // namespace ql
