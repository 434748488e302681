#pragma once

#include <QString>

namespace ql {

// The name the program's own files go under in the user's folders (recovered
// records among them): the same for the window and the command line.
inline const QString kApplicationName = QStringLiteral("quorvalink");

} // namespace ql
