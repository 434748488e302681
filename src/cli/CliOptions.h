#pragma once

#include "watch/WatchOptions.h"

#include <QString>
#include <QStringList>

#include <chrono>

namespace ql::cli {

enum class Command { Send, Receive, Ports, Watch, Help, Version };

// The exit statuses, as --help and the manual page give them.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitTransferFailed = 1;
inline constexpr int kExitPortsNeedAttention = 1; // ports --check printed a warning
inline constexpr int kExitUsage = 2;
inline constexpr int kExitUnusable = 3;
inline constexpr int kExitInterrupted = 130;

struct CliOptions {
    Command command = Command::Help;
    QString file;
    // One of the two names the port: a number as the window numbers them, or a device.
    QString port;
    QString device;
    QString baud = QStringLiteral("115200");
    QString dataBits = QStringLiteral("8");
    QString stopBits = QStringLiteral("1");
    std::chrono::seconds handshakeTimeout {60};
    bool quiet = false;
    // ports: check each port and what gets in its way, rather than list them.
    bool check = false;
    watch::WatchOptions watch;
};

// Fills `options`; gives what makes the command line unusable, or nothing.
QString parseOptions(const QStringList& arguments, CliOptions& options);

QString usageText();

} // namespace ql::cli
