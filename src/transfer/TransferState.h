#pragma once

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

// The five text fields of the main window that the transfers use.
struct TransferState {
    QString strPc2HhcFile;
    QString strHhc2PcFile;
    QString strBeginChar;
    QString strEndChar;
    QString strSepChar;
};

} // namespace ql
