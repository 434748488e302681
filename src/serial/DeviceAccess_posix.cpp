#include "serial/DeviceAccess.h"

#include <QFile>

#include <vector>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ql {

std::optional<DeviceAccess> deviceAccess(const QString& path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    DeviceAccess access;
    access.owner = status.st_uid;
    access.group = status.st_gid;
    access.mode = status.st_mode & 07777;
    const passwd* user = ::getpwuid(status.st_uid);
    access.ownerName = user ? QString::fromLocal8Bit(user->pw_name) : QString::number(status.st_uid);
    const group* owningGroup = ::getgrgid(status.st_gid);
    access.groupName = owningGroup ? QString::fromLocal8Bit(owningGroup->gr_name) : QString::number(status.st_gid);
    return access;
}

std::optional<ProcessIdentity> processIdentity()
{
    ProcessIdentity identity;
    identity.user = ::geteuid();
    identity.groups.append(::getegid());
    const passwd* user = ::getpwuid(identity.user);
    identity.userName = user ? QString::fromLocal8Bit(user->pw_name) : QString::number(identity.user);
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> supplementary(static_cast<std::size_t>(count));
        const int got = ::getgroups(count, supplementary.data());
        for (int k = 0; k < got; ++k)
            identity.groups.append(supplementary[static_cast<std::size_t>(k)]);
    }
    return identity;
}

} // namespace ql
