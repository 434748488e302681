#include "eventlog/Messages.h"

#include <QTime>

namespace ql::msg {

namespace {

// "1 record", "2 records".
QString counted(qint64 count, const char* noun)
{
    return QStringLiteral("%1 %2%3").arg(count).arg(QLatin1String(noun)).arg(count == 1 ? "" : "s");
}

} // namespace

QString currentTimeText()
{
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}

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

QString portWarning(const QString& text, const QStringList& details)
{
    return QStringLiteral("Warning: ") + (QStringList {text} + details).join(QStringLiteral("; "));
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

QString portLetGo(const QString& device)
{
    return QStringLiteral("The port was let go: %1 is gone or no longer watched").arg(device);
}

QString receptionQuiet(qint64 seconds)
{
    return QStringLiteral("Nothing received for %1: the reception ends . . .").arg(counted(seconds, "second"));
}

QString incompleteRecordDropped(qsizetype length)
{
    return QStringLiteral("An incomplete record of %1 was not saved . . .").arg(counted(length, "character"));
}

QString recordPastCountLimit(int number, qsizetype length, int recordsAfter, qint64 charactersAfter)
{
    const QString record = QStringLiteral("Record %1 (%2)").arg(number).arg(counted(length, "character"));
    const QString after = recordsAfter == 0 ? QString()
                                            : QStringLiteral(", nor the %1 (%2) that followed it")
                                                  .arg(counted(recordsAfter, "record"), counted(charactersAfter, "character"));
    return QStringLiteral("%1 was not saved%2: a data file holds at most 32767 records . . .").arg(record, after);
}

QString recordPastLengthLimit(int number, qsizetype limit)
{
    return QStringLiteral("Record %1 was not saved: it ran past %2 characters without a separator, so the "
                          "reception was ended . . .")
        .arg(number)
        .arg(limit);
}

QString recordPastReceptionLimit(int number, qsizetype length, qint64 limit)
{
    return QStringLiteral("Record %1 (%2 so far) was not saved: the reception ran past %3 characters in all, "
                          "so it was ended . . .")
        .arg(number)
        .arg(counted(length, "character"))
        .arg(limit);
}

QString receptionAborted(int records, const QString& file)
{
    if (records == 0)
        return QStringLiteral("The reception was aborted before its first record ended . . .");
    const QString received = counted(records, "record") + QStringLiteral(" received before it");
    if (file.isEmpty())
        return QStringLiteral("The reception was aborted; the %1 could not be saved . . .").arg(received);
    return QStringLiteral("The reception was aborted; the %1 %2 kept in %3 . . .")
        .arg(received, records == 1 ? QStringLiteral("is") : QStringLiteral("are"), file);
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
