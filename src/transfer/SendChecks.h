#pragma once

#include <QStringList>

namespace ql {

struct ProtocolCharacters;

// Fails when the records cannot reach the device as they stand: an empty list, which
// the protocol cannot carry, or a record holding the separator or end character,
// which the wire does not escape and the device would read as a record boundary.
void checkRecordsToSend(const QStringList& records, const ProtocolCharacters& characters);

} // namespace ql
