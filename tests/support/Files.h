#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace ql::test {

// The whole file; none when it cannot be read.
std::optional<QByteArray> readFile(const QString& path);
// Writes the whole file anew; the calling test fails when it cannot.
void writeFile(const QString& path, const QByteArray& bytes);

} // namespace ql::test
