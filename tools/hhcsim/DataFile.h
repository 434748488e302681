#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

namespace ql::hhcsim {

// The data file format as the PC program reads it: a record ends at CR LF or at a
// lone CR, a lone LF is data, an empty line is a record, and the text after the
// last terminator is one more record when it is not empty.
QByteArrayList parseDataFile(const QByteArray& bytes);

// Every record followed by CR LF, bytes as they are.
QByteArray formatDataFile(const QByteArrayList& records);

// Both return false and set `error` to a sentence naming the file and the cause.
bool readDataFile(const QString& path, QByteArrayList& records, QString& error);
bool writeDataFile(const QString& path, const QByteArrayList& records, QString& error);

} // namespace ql::hhcsim
