#include "serial/DeviceHolders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace ql {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

std::string processName(long pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%ld/comm", pid);
    std::FILE* comm = std::fopen(path, "re");
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

bool holdsDevice(long pid, dev_t device)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%ld/fd", pid);
    // Only the user's own processes open here, or every process for root.
    const int dirFd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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

} // namespace

std::optional<DeviceHolder> otherHolder(dev_t device)
{
    const Dir proc(::opendir("/proc"));
    if (!proc)
        return std::nullopt;
    const long self = ::getpid();
    while (const dirent* entry = ::readdir(proc.get())) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || pid == self)
            continue;
        if (holdsDevice(pid, device))
            return DeviceHolder {pid, processName(pid)};
    }
    return std::nullopt;
}

} // namespace ql
