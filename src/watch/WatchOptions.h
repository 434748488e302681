#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace ql::watch {

// What to watch and where the receptions go.
struct WatchOptions {
    QStringList ports;   // port numbers, as the window numbers them
    QStringList devices; // device paths, present or not yet
    bool all = false;    // every serial port the system lists, now and later
    QString into;        // the folder of the received files
    QString nameTemplate = QStringLiteral("{date}-{time}-{port}.txt");
    QString journal;     // none when empty
    std::optional<std::chrono::seconds> quietLimit = std::chrono::seconds(60);
    QString baud = QStringLiteral("115200");
    QString dataBits = QStringLiteral("8");
    QString stopBits = QStringLiteral("1");
    bool quiet = false;
};

} // namespace ql::watch
