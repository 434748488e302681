#include "app/VersionText.h"

namespace ql {

QString VersionText(qint16 major, qint16 minor, qint16 revision)
{
    return QString::number(major) + QLatin1Char('.') + QString::number(minor) + QLatin1Char('.')
        + QStringLiteral("%1").arg(revision, 3, 10, QLatin1Char('0')) + QStringLiteral(".1");
}

QString VersionText()
{
    return VersionText(QL_VERSION_MAJOR, QL_VERSION_MINOR, QL_VERSION_REVISION);
}

} // namespace ql
