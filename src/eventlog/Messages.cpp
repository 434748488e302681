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

QString instanceLockUnavailable(const QString& reason)
{
    return QStringLiteral("Single-instance lock not taken, a second copy will not be refused: ") + reason;
}

QString unusableCommandLinePath(const QString& shown)
{
    return QStringLiteral("Command line file name not used, it is not valid text here: ") + shown;
}

} // namespace ql::msg
