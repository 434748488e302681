#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <optional>

namespace ql {

// The record count is a 16-bit signed number, so a data file holds at most this many.
inline constexpr qsizetype kMaxRecords = 32767;

// The records of a data file's bytes, one character per byte (Latin-1). A record
// ends at CR LF or at a lone CR; a lone LF is data; text after the last terminator
// is one more record. Empty when the bytes hold more than `maxRecords` records, so
// that a cut-off set never passes for the whole file.
std::optional<QStringList> splitRecords(QByteArrayView bytes, qsizetype maxRecords = kMaxRecords);

// The bytes of a data file: every record followed by CR LF; no records, no bytes.
QByteArray joinRecords(const QStringList& records);

} // namespace ql
