#pragma once

#include "transfer/RunContext.h"

#include <QString>

namespace ql {

// The two entries of cmbProcess, the transfer directions.
inline const QString kPcToHhc = QStringLiteral("PC->HHC");
inline const QString kHhcToPc = QStringLiteral("HHC->PC");

// The protocol characters the window sets at load: begin request and its answer,
// end of transmission, record separator.
inline const QString kBeginChar = QStringLiteral("^");
inline const QString kEndChar = QStringLiteral("$");
inline const QString kSepChar = QStringLiteral("@");

// The text fields of the main window: the protocol characters its runs use, and
// the data file remembered for each direction.
struct TransferState : ProtocolCharacters {
    QString strPc2HhcFile;
    QString strHhc2PcFile;
};

} // namespace ql
