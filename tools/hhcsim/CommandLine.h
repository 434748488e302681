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

struct ParsedCommandLine {
    CommandLine options;
    QString error; // empty when the command line is good
};

inline const QString kDefaultLinkPath = QStringLiteral("/tmp/quorvalink-hhc");

// `arguments` without the program name.
ParsedCommandLine parseCommandLine(const QStringList& arguments);

QString usageText();

} // namespace ql::hhcsim
