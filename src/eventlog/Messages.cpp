#include "eventlog/Messages.h"

namespace ql::msg {

QString startedPc2Hhc(const QString& time)
{
    return QStringLiteral("Started pc2hhc process at ") + time;
}

QString startedHhc2Pc(const QString& time)
{
    return QStringLiteral("Started hhc2pc process at ") + time;
}

QString configuredPort(const QString& settings)
{
    return QStringLiteral("Configured Serial Port to ") + settings.toUpper();
}

QString recordsFound(int count)
{
    return QString::number(count) + QStringLiteral(" records found");
}

QString foundRecords(int count)
{
    return QStringLiteral("Found ") + QString::number(count) + QStringLiteral(" records");
}

QString writtenRecords(int count)
{
    return QStringLiteral("Written ") + QString::number(count) + QStringLiteral(" records");
}

QString portDevice(int number, const QString& device)
{
    return QStringLiteral("Com port ") + QString::number(number) + QStringLiteral(" is ") + device;
}

QString portsPermissionDenied(const QStringList& devices, const QString& group)
{
    return QStringLiteral("Permission denied on %1: join the %2 group (sudo usermod -aG %2 $USER), then log out and "
                          "back in . . .")
        .arg(devices.join(QStringLiteral(", ")), group);
}

QString portRefused(const QString& why, const QString& access)
{
    return access.isEmpty() ? why + QStringLiteral(" . . .") : QStringLiteral("%1 (%2) . . .").arg(why, access);
}

QString deviceOwnership(const QString& owner, const QString& group, unsigned mode)
{
    return QStringLiteral("owner %1, group %2, mode %3")
        .arg(owner, group, QString::number(mode, 8).rightJustified(4, QLatin1Char('0')));
}

QString portsInUse(const QStringList& devices)
{
    return devices.join(QStringLiteral(", "))
        + (devices.size() == 1 ? QStringLiteral(" is in use by another program . . .")
                               : QStringLiteral(" are in use by other programs . . ."));
}

QString recordHoldsProtocolCharacter(int number, const QString& character)
{
    return QStringLiteral("Record ") + QString::number(number) + QStringLiteral(" contains the protocol character \"")
        + character + QStringLiteral("\" . . .");
}

QString previousFileKept(const QString& path)
{
    return QStringLiteral("The previous data file was kept as ") + path;
}

QString recordsRecovered(const QString& path)
{
    return QStringLiteral("The received records were written to ") + path;
}

QString recordsLost(int count, const QString& why)
{
    return QStringLiteral("%1 received records could not be written to any file and are lost when the program "
                          "ends: %2")
        .arg(count)
        .arg(why);
}

QString dataFileRefused(const QString& path, const QString& why)
{
    return QStringLiteral("The data file %1 cannot be used: %2").arg(path, why);
}

QString recordHoldsLineEnd(int number)
{
    return QStringLiteral("Record %1 holds a line end (CR), so the data file gives it back as more than one "
                          "record . . .")
        .arg(number);
}

QString recordTooLong(int number, qsizetype length, qsizetype longest)
{
    return QStringLiteral("Record %1 is %2 characters long, so the data file cannot be loaded again (a record "
                          "holds at most %3) . . .")
        .arg(number)
        .arg(length)
        .arg(longest);
}

QString abortedBySignal(int signal)
{
    return QStringLiteral("Aborted by signal %1 . . .").arg(signal);
}

QString incompleteRecordDropped(qsizetype length)
{
    return QStringLiteral("An incomplete record of %1 %2 was not saved . . .")
        .arg(length)
        .arg(length == 1 ? QStringLiteral("character") : QStringLiteral("characters"));
}

QString instanceLockUnavailable(const QString& reason)
{
    return QStringLiteral("Single-instance lock not taken, a second copy will not be refused: ") + reason;
}

QString unusableCommandLinePath(const QString& shown)
{
    return QStringLiteral("Command line file name not used, it is not valid text here: ") + shown;
}

} // namespace ql::msg
