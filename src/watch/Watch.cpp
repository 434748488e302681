#include "watch/Watch.h"

#include "common/ProcessSignals.h"
#include "serial/PortMap.h"
#include "watch/Journal.h"
#include "watch/PortWatcher.h"
#include "watch/WatchOutput.h"
#include "watch/WatchSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <map>
#include <memory>

namespace ql::watch {

namespace {

const QString kProgram = QStringLiteral("watch");

// Why records cannot go into the folder, made when missing; empty when they can. A
// file made and removed again is the only sure test: modes say nothing of root,
// of access lists or of a read-only mount.
QString folderProblem(const QString& folder)
{
    if (!QDir().mkpath(folder))
        return QStringLiteral("the folder cannot be made");
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".quorvalink-watch-XXXXXX")));
    return probe.open() ? QString() : probe.errorString();
}

// The devices the system offers now, by the name each is watched under.
std::map<QString, QString> offeredDevices(const WatchOptions& options)
{
    std::map<QString, QString> offered;
    const PortMap ports = options.all || !options.ports.isEmpty() ? PortMap::fromSystem() : PortMap();
    if (options.all)
        for (const PortEntry& entry : ports.entries())
            offered[entry.systemName] = entry.systemName;
    for (const QString& number : options.ports) {
        const std::optional<PortEntry> entry = ports.entry(static_cast<qint16>(number.toInt()));
        offered[QStringLiteral("port %1").arg(number)] = entry ? entry->systemName : QString();
    }
    // A link is followed: a device plugged in again may stand behind the same link
    // under another name, and is then a new device to take.
    for (const QString& device : options.devices)
        offered[device] = QFileInfo(device).canonicalFilePath();
    return offered;
}

// The paths whose folders tell of devices coming and going.
QStringList watchedPaths(const WatchOptions& options)
{
    QStringList paths = options.devices;
    if (options.all || !options.ports.isEmpty()) {
        const PortMap ports = PortMap::fromSystem();
        for (const PortEntry& entry : ports.entries())
            paths.append(entry.systemName);
    }
    return paths;
}

} // namespace

int runWatch(const WatchOptions& options)
{
    TerminationSignals::install();
    ignoreWriteFailureSignals();
    WatchOutput output(options.quiet);

    if (const QString problem = folderProblem(options.into); !problem.isEmpty()) {
        output.problem(kProgram, QStringLiteral("--into %1: received records cannot be written there: %2")
                                     .arg(QDir::toNativeSeparators(options.into), problem));
        return kWatchUnusable;
    }
    Journal journal;
    WatchShared shared {options, output};
    if (!options.journal.isEmpty()) {
        QString error;
        if (!journal.open(options.journal, error)) {
            output.problem(kProgram, QStringLiteral("--journal %1: %2").arg(options.journal, error));
            return kWatchUnusable;
        }
        shared.journal = &journal;
    }

    DeviceChanges changes(watchedPaths(options), options.all || !options.ports.isEmpty());
    std::map<QString, std::unique_ptr<PortWatcher>> watchers;
    const auto offer = [&] {
        const std::map<QString, QString> offered = offeredDevices(options);
        for (const auto& [name, device] : offered) {
            std::unique_ptr<PortWatcher>& watcher = watchers[name];
            if (!watcher)
                watcher = std::make_unique<PortWatcher>(shared, name);
            watcher->offer(device);
        }
        // A port that --all no longer lists is let go; its watcher waits for it to come back.
        for (const auto& [name, watcher] : watchers)
            if (!offered.contains(name))
                watcher->offer({});
    };
    output.event(kProgram, QStringLiteral("receiving into %1").arg(QDir::toNativeSeparators(options.into)));
    offer();
    for (;;) {
        changes.wait();
        const int signal = TerminationSignals::take();
        if (signal != 0 && isReopenSignal(signal) && shared.journal) {
            QString error;
            if (journal.reopen(error))
                output.event(kProgram, QStringLiteral("journal opened again"));
            else
                output.problem(kProgram, QStringLiteral("the journal could not be opened again: %1").arg(error));
        } else if (signal != 0 && !isReopenSignal(signal)) {
            shared.endingSignal = signal;
            output.event(kProgram, QStringLiteral("ending on signal %1").arg(signal));
            break;
        }
        offer();
    }
    for (const auto& [name, watcher] : watchers)
        watcher->stop();
    watchers.clear();
    return shared.recordsLost ? kWatchUnusable : kWatchSaved;
}

} // namespace ql::watch
