#pragma once

#include <QString>

namespace ql {

// The two entries of cmbProcess, the transfer directions.
inline const QString kPcToHhc = QStringLiteral("PC->HHC");
inline const QString kHhcToPc = QStringLiteral("HHC->PC");

// The five text fields of the main window that the transfers use.
struct TransferState {
    QString strPc2HhcFile;
    QString strHhc2PcFile;
    QString strBeginChar;
    QString strEndChar;
    QString strSepChar;
};

} // namespace ql
