// Prints how many handles the running program of the given file name holds, from
// the system's table of all handles (Wine's GetProcessHandleCount answers 0 for
// every process); fails when no such program runs.
//   handle_count quorvalink-cli.exe
#include <windows.h>

#include <tlhelp32.h>
#include <winternl.h>

#include <cstdio>
#include <vector>

namespace {

// The system's table of handles (SystemHandleInformation), as Windows and Wine lay it out.
constexpr auto kHandleTable = static_cast<SYSTEM_INFORMATION_CLASS>(16);
struct HandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
};
struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
};

DWORD processOf(const char* fileName)
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry {};
    entry.dwSize = sizeof(entry);
    DWORD pid = 0;
    for (BOOL more = Process32First(snapshot, &entry); more && pid == 0; more = Process32Next(snapshot, &entry)) {
        if (_stricmp(entry.szExeFile, fileName) == 0)
            pid = entry.th32ProcessID;
    }
    CloseHandle(snapshot);
    return pid;
}

} // namespace

int main(int argc, char** argv)
{
    const DWORD pid = argc == 2 ? processOf(argv[1]) : 0;
    if (pid == 0)
        return 1;
    std::vector<char> table(1 << 16);
    NTSTATUS status = 0;
    ULONG size = 0;
    // The table grows between two calls as handles are opened.
    while ((status = NtQuerySystemInformation(kHandleTable, table.data(), static_cast<ULONG>(table.size()), &size))
           == static_cast<NTSTATUS>(0xC0000004L))
        table.resize(table.size() * 2);
    if (status != 0)
        return 1;
    const auto* handles = reinterpret_cast<const HandleTable*>(table.data());
    ULONG count = 0;
    for (ULONG i = 0; i < handles->count; ++i)
        count += handles->entries[i].ownerPid == pid ? 1 : 0;
    std::printf("%lu\n", count);
    return 0;
}
