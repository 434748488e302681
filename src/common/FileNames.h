#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace ql {

// The text of a file name given as the system's bytes, when that text names the
// same file again; none when the bytes are not valid text here, so that no
// look-alike name is ever used in its place.
std::optional<QString> fileNameText(const QByteArray& bytes);

} // namespace ql
