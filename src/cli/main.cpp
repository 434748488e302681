#include "CliHost.h"
#include "CliOptions.h"
#include "Terminal.h"

#include "common/Failure.h"
#include "common/FileNames.h"
#include "common/ProcessSignals.h"
#include "eventlog/Messages.h"
#include "records/RecordFiles.h"
#include "serial/PortMap.h"
#include "serial/SystemSerialControl.h"
#include "transfer/TransferPacing.h"
#include "transfer/TransferState.h"
#include "transfer/Transfers.h"

#include <QFile>
#include <QProcessEnvironment>

#include <algorithm>
#include <cstdio>
#include <exception>

using namespace ql;
using namespace ql::cli;

namespace {

void printText(std::FILE* to, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fflush(to);
}

int listPorts()
{
    const PortMap ports = PortMap::fromSystem();
    for (const PortEntry& entry : ports.entries())
        printText(stdout, QStringLiteral("%1\t%2\t%3\n").arg(entry.number).arg(entry.systemName, entry.description));
    return kExitSuccess;
}

// A device named on the command line stands as port 1, by the same rule that lets
// the environment name a port's device.
PortMap portsFor(const CliOptions& options)
{
    if (options.device.isEmpty())
        return PortMap::fromSystem();
    QProcessEnvironment environment;
    environment.insert(PortMap::variableName(PortMap::kFirstPort), options.device);
    return PortMap::fromRule(environment, {});
}

bool portUnusable(const CliHost& host)
{
    for (const QString& step : {msg::kErrorSettingPort, msg::kErrorSettingIo, msg::kErrorSettingBaud,
                                msg::kErrorSettingInputMode, msg::kErrorOpeningPort}) {
        if (host.posted(step))
            return true;
    }
    return false;
}

// What the run's messages say of its outcome; the messages are the protocol's own.
int outcome(CliHost& host, Command command)
{
    if (host.posted(msg::kPortSelectionError) || host.posted(msg::kSpecifiedFileError))
        return kExitUsage;
    if (portUnusable(host) || host.posted(msg::kFileError))
        return kExitUnusable;
    // A run refused before it opened the port, when the port was not at fault, was
    // refused for its file: nothing to send, or nowhere to put what arrives.
    const QString started = command == Command::Send ? msg::startedPc2Hhc({}) : msg::startedHhc2Pc({});
    const bool opened = std::any_of(host.messages().cbegin(), host.messages().cend(),
                                    [&started](const QString& message) { return message.startsWith(started); });
    if (!opened)
        return kExitUnusable;
    if (command == Command::Send)
        return host.posted(msg::kTransferSucceeded) && !host.posted(msg::kTransferFailed) ? kExitSuccess
                                                                                          : kExitTransferFailed;
    const bool saved = host.posted(msg::writtenRecords(host.records().count()));
    // A file that reads back otherwise than the device sent is no clean run for a script.
    return host.posted(msg::kReceptionCompleted) && saved && !host.posted(msg::kErrorClosingPort)
                   && host.unholdableRecords() == 0
               ? kExitSuccess
               : kExitTransferFailed;
}

int transfer(const CliOptions& options)
{
    TerminationSignals::install();
    ignoreWriteFailureSignals();

    SystemSerialControl MSCommI(portsFor(options));
    BlockingPacing pacing(MSCommI, options.handshakeTimeout, TerminationSignals::fd());
    const LineControls controls {options.device.isEmpty() ? options.port : QString::number(PortMap::kFirstPort),
                                 options.baud, options.dataBits, options.stopBits};
    CliHost::Output output;
    output.quiet = options.quiet;
    output.progress = standardErrorIsTerminal() ? stderr : nullptr;
    const bool sending = options.command == Command::Send;
    CliHost host(sending ? kPcToHhc : kHhcToPc, options.file, controls, pacing, output);
    TransferState state;
    state.strBeginChar = kBeginChar;
    state.strEndChar = kEndChar;
    state.strSepChar = kSepChar;

    int status = kExitUnusable;
    if (sending)
        LoadRecordsFile(host, host.records(), options.file);
    if (!host.posted(msg::kFileError)) {
        try {
            StartSelectedProcess(host, MSCommI, state);
            status = outcome(host, options.command);
        } catch (const std::exception& failure) {
            host.postMessage(QString::fromLocal8Bit(failure.what()));
            status = kExitTransferFailed;
        }
    }
    const int signal = TerminationSignals::take();
    if (pacing.aborted() || (signal != 0 && status != kExitSuccess)) {
        status = kExitInterrupted;
        // The failure texts of an aborted run speak of a closed port; this says who closed it.
        if (signal != 0)
            host.postMessage(msg::abortedBySignal(signal));
    }

    host.clearProgress();
    if (options.quiet && status != kExitSuccess)
        host.printHeldBack(stderr);
    if (!options.quiet)
        printText(stdout, host.summary() + QLatin1Char('\n'));
    return status;
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        const std::optional<QString> argument = fileNameText(QByteArray(argv[i]));
        if (!argument) {
            printText(stderr, QStringLiteral("quorvalink-cli: the argument '%1' holds bytes that are not valid "
                                             "text here; no file or device is used in its place\n")
                                  .arg(QFile::decodeName(argv[i])));
            return kExitUsage;
        }
        arguments.append(*argument);
    }
    const ParsedOptions parsed = parseOptions(arguments);
    if (!parsed.error.isEmpty()) {
        printText(stderr, QStringLiteral("quorvalink-cli: %1\nTry 'quorvalink-cli --help'.\n").arg(parsed.error));
        return kExitUsage;
    }
    switch (parsed.options.command) {
    case Command::Help: printText(stdout, usageText()); return kExitSuccess;
    case Command::Version: printText(stdout, QStringLiteral("quorvalink-cli " QL_CLI_VERSION "\n")); return kExitSuccess;
    case Command::Ports: return listPorts();
    case Command::Send:
    case Command::Receive: break;
    }
    return transfer(parsed.options);
}
