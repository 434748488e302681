#pragma once

#include "hhcsim/SimulatedDevice.h"

#include <QString>
#include <QStringList>

namespace ql::hhcsim {

struct CommandLine {
    DeviceOptions device; // sendRecords is filled from sendFile by the caller
    QString sendFile;
    QString receiveFile; // empty: standard output
    bool help = false;
};

inline const QString kDefaultLinkPath = QStringLiteral("/tmp/quorvalink-hhc");

// Fills `line` from `arguments` (without the program name); gives what is wrong
// with them, or nothing.
QString parseCommandLine(const QStringList& arguments, CommandLine& line);

QString usageText();

} // namespace ql::hhcsim
