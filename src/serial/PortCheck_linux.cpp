#include "serial/PortCheck.h"

#include "serial/DeviceAccess.h"
#include "serial/DeviceHolders.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace ql {

namespace {

QString under(const QString& root, const QString& path)
{
    return QDir::cleanPath(root + QLatin1Char('/') + path);
}

// The device's numbers as the kernel gives them for the tty, else as its device file has them.
std::optional<dev_t> deviceNumber(const PortIdentity& identity, const QString& root)
{
    QFile numbers(under(root, QStringLiteral("sys/class/tty/%1/dev").arg(identity.portName())));
    if (numbers.open(QIODevice::ReadOnly)) {
        const QStringList parts = QString::fromLatin1(numbers.read(32)).trimmed().split(QLatin1Char(':'));
        bool majorOk = false;
        bool minorOk = false;
        const unsigned major = parts.value(0).toUInt(&majorOk);
        const unsigned minor = parts.value(1).toUInt(&minorOk);
        if (parts.size() == 2 && majorOk && minorOk)
            return makedev(major, minor);
    }
    struct stat status {};
    if (::stat(QFile::encodeName(under(root, identity.device)).constData(), &status) == 0 && S_ISCHR(status.st_mode))
        return status.st_rdev;
    return std::nullopt;
}

// Whether udev's database entry for the device carries the mark ModemManager heeds.
bool markedForModemManager(dev_t number, const QString& root)
{
    QFile entry(under(root, QStringLiteral("run/udev/data/c%1:%2").arg(major(number)).arg(minor(number))));
    if (!entry.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    while (!entry.atEnd()) {
        if (entry.readLine().trimmed() == "E:ID_MM_DEVICE_IGNORE=1")
            return true;
    }
    return false;
}

// The installed version of a Debian package, from dpkg's own record; read rather
// than asking the running program, which may not answer a stranger's --version.
QString packageVersion(const QString& root, const QByteArray& package)
{
    QFile status(under(root, QStringLiteral("var/lib/dpkg/status")));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inPackage = false;
    while (!status.atEnd()) {
        const QByteArray line = status.readLine().trimmed();
        if (line.isEmpty())
            inPackage = false;
        else if (line.startsWith("Package: "))
            inPackage = line.mid(9) == package;
        else if (inPackage && line.startsWith("Version: "))
            return QString::fromUtf8(line.mid(9));
    }
    return {};
}

std::optional<RunningProgram> running(const std::map<std::string, long>& found, const std::string& name)
{
    const auto program = found.find(name);
    if (program == found.end())
        return std::nullopt;
    return RunningProgram {program->second, {}};
}

} // namespace

PortCheck identifyPort(const PortEntry& entry, const QString& root)
{
    PortCheck port;
    port.number = entry.number;
    port.identity = portIdentity(entry.systemName, root);
    const std::optional<dev_t> number = deviceNumber(port.identity, root);
    port.modemManagerIgnores = number && markedForModemManager(*number, root);
    return port;
}

void checkPortUse(PortCheck& port, const QString& root)
{
    const QString& device = port.identity.device;
    const std::optional<DeviceAccess> access = deviceAccess(under(root, device));
    const std::optional<ProcessIdentity> process = processIdentity();
    if (!access) {
        port.refusal = QStringLiteral("%1 does not exist").arg(device);
        port.remedy = {QStringLiteral("plug the adapter in, or name it as /dev/serial/by-id does, which stays the "
                                      "same in any socket")};
    } else if (process && !mayReadWrite(*access, *process)) {
        const QString mode = deviceModeText(access->mode);
        if (joiningGroupAdmits(*access, *process)) {
            port.refusal = QStringLiteral("%1 belongs to group %2 (%3) and user %4 is not in it")
                               .arg(device, access->groupName, mode, process->userName);
            port.remedy = {QStringLiteral("join the group, then log out and in again: sudo usermod -aG %1 %2")
                               .arg(access->groupName, process->userName)};
        } else {
            port.refusal = QStringLiteral("%1 (%2, owner %3, group %4) does not let user %5 read and write it")
                               .arg(device, mode, access->ownerName, access->groupName, process->userName);
            port.remedy = {QStringLiteral("ask the administrator for a udev rule that gives it to a group of yours")};
        }
    }
    if (const std::optional<dev_t> number = deviceNumber(port.identity, root)) {
        if (const std::optional<DeviceHolder> holder = otherHolder(*number, under(root, QStringLiteral("proc")).toStdString()))
            port.holder = PortHolder {holder->pid, QString::fromStdString(holder->name)};
    }
}

SystemPrograms systemPrograms(const QString& root)
{
    const std::map<std::string, long> found
        = processesNamed({"brltty", "ModemManager"}, under(root, QStringLiteral("proc")).toStdString());
    SystemPrograms programs;
    programs.brltty = running(found, "brltty");
    if (programs.brltty)
        programs.brltty->version = packageVersion(root, "brltty");
    programs.modemManager = running(found, "ModemManager");
    return programs;
}

} // namespace ql
