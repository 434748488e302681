#include "serial/DeviceHolders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

namespace ql {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

std::string processName(const std::string& proc, long pid)
{
    const std::string path = proc + '/' + std::to_string(pid) + "/comm";
    std::FILE* comm = std::fopen(path.c_str(), "re");
    if (comm == nullptr)
        return "another program";
    char name[64] = {};
    const bool got = std::fgets(name, sizeof name, comm) != nullptr;
    std::fclose(comm);
    std::string text = got ? name : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? "another program" : text;
}

bool holdsDevice(const std::string& proc, long pid, dev_t device)
{
    const std::string path = proc + '/' + std::to_string(pid) + "/fd";
    // Only the user's own processes open here, or every process for root.
    const int dirFd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return false;
    const Dir fds(::fdopendir(dirFd));
    if (!fds) {
        ::close(dirFd);
        return false;
    }
    while (const dirent* entry = ::readdir(fds.get())) {
        if (entry->d_name[0] == '.')
            continue;
        // Without syncing, so that a file on a network mount that hangs cannot hang the open.
        struct statx target {};
        if (::statx(dirFd, entry->d_name, AT_STATX_DONT_SYNC, STATX_TYPE, &target) == 0 && S_ISCHR(target.stx_mode)
            && makedev(target.stx_rdev_major, target.stx_rdev_minor) == device)
            return true;
    }
    return false;
}

// Calls `visit` with each process's PID until it returns false.
void forEachProcess(const std::string& proc, const std::function<bool(long)>& visit)
{
    const Dir folder(::opendir(proc.c_str()));
    if (!folder)
        return;
    while (const dirent* entry = ::readdir(folder.get())) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0' && !visit(pid))
            return;
    }
}

} // namespace

std::optional<DeviceHolder> otherHolder(dev_t device, const std::string& proc)
{
    const long self = ::getpid();
    std::optional<DeviceHolder> holder;
    forEachProcess(proc, [&](long pid) {
        if (pid != self && holdsDevice(proc, pid, device))
            holder = DeviceHolder {pid, processName(proc, pid)};
        return !holder;
    });
    return holder;
}

std::map<std::string, long> processesNamed(const std::vector<std::string>& names, const std::string& proc)
{
    std::map<std::string, long> found;
    forEachProcess(proc, [&](long pid) {
        const std::string name = processName(proc, pid);
        if (std::find(names.begin(), names.end(), name) != names.end()) {
            const auto [entry, added] = found.try_emplace(name, pid);
            if (!added && pid < entry->second)
                entry->second = pid;
        }
        return true;
    });
    return found;
}

} // namespace ql
