#pragma once

#include <QString>

namespace ql {

// The five text fields of the main window that the transfers use.
struct TransferState {
    QString strPc2HhcFile;
    QString strHhc2PcFile;
    QString strBeginChar;
    QString strEndChar;
    QString strSepChar;
};

} // namespace ql
