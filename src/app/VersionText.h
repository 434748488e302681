#pragma once

#include <QString>
#include <QtGlobal>

namespace ql {

// major "." minor "." revision (at least three digits) "." "1"
QString VersionText(qint16 major, qint16 minor, qint16 revision);

// The version text of this build, "1.0.188.1" for this release.
QString VersionText();

// The application title, caption of the second-instance message box.
inline const QString kAppTitle = QStringLiteral("Quorvalink");

} // namespace ql
