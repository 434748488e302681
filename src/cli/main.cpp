#include "CliHost.h"
#include "CliOptions.h"
#include "Terminal.h"

#include "common/ApplicationName.h"
#include "common/Failure.h"
#include "common/FileNames.h"
#include "common/ProcessSignals.h"
#include "eventlog/Messages.h"
#include "records/RecordFiles.h"
#include "serial/BlockingWaiter.h"
#include "serial/PortCheck.h"
#include "serial/PortMap.h"
#include "serial/SystemSerialControl.h"
#include "transfer/RunContext.h"
#include "transfer/TransferHost.h"
#include "transfer/TransferState.h"
#include "transfer/Transfers.h"
#include "watch/Watch.h"

#include <QCoreApplication>
#include <QFile>

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

int checkPorts()
{
    const PortCheckReport report = checkPorts(PortMap::fromSystem());
    printText(stdout, reportText(report));
    return report.warnings.isEmpty() ? kExitSuccess : kExitPortsNeedAttention;
}

PortMap portsFor(const CliOptions& options)
{
    return options.device.isEmpty() ? PortMap::fromSystem() : PortMap::ofDevice(options.device);
}

int exitStatus(const TransferResult& result)
{
    switch (result.outcome) {
    // A file that reads back otherwise than the device sent is no clean run for a script.
    case Outcome::Succeeded: return result.receiving.unholdableRecords == 0 ? kExitSuccess : kExitTransferFailed;
    case Outcome::Failed: return result.reason == Reason::FileNotWritten ? kExitUnusable : kExitTransferFailed;
    case Outcome::Aborted: return kExitInterrupted;
    case Outcome::Refused: break;
    }
    return result.reason == Reason::PortSelection || result.reason == Reason::FileName ? kExitUsage : kExitUnusable;
}

int transfer(const CliOptions& options)
{
    TerminationSignals::install();
    ignoreWriteFailureSignals();

    TransferRequest request;
    request.direction = options.command == Command::Send ? Direction::PcToHhc : Direction::HhcToPc;
    request.line = {options.device.isEmpty() ? options.port : QString::number(PortMap::kFirstPort), options.baud,
                    options.dataBits, options.stopBits};
    request.file = options.file;
    request.handshakeTimeout = options.handshakeTimeout;
    if (options.handshakeTimeout.count() == 0)
        request.handshakeTimeout.reset();
    CliHost::Output output;
    output.quiet = options.quiet;
    output.progress = standardErrorIsTerminal() ? stderr : nullptr;
    CliHost host(output);
    SystemSerialControl MSCommI(portsFor(options));
    BlockingWaiter waiter(MSCommI, TerminationSignals::fd());
    RunContext run {host, MSCommI, waiter, {kBeginChar, kEndChar, kSepChar}};
    waiter.woken = [&run] { run.abort(msg::abortedBySignal(TerminationSignals::take())); };

    TransferResult result(*request.direction, Outcome::Refused, Reason::FileUnusable);
    int status = kExitUnusable;
    if (*request.direction == Direction::HhcToPc || LoadRecordsFile(host, host.records(), options.file)) {
        try {
            result = StartSelectedProcess(run, request);
            status = exitStatus(result);
        } catch (const std::exception& failure) {
            host.postMessage(QString::fromLocal8Bit(failure.what()));
            status = kExitTransferFailed;
        }
    }
    // A signal that came outside the run's waits, while the file was read or saved.
    const int signal = TerminationSignals::take();
    if ((signal != 0 || run.closedBy) && status != kExitSuccess) {
        status = kExitInterrupted;
        if (signal != 0)
            host.postMessage(msg::abortedBySignal(signal));
    }

    host.clearProgress();
    if (options.quiet && status != kExitSuccess)
        host.printHeldBack(stderr);
    if (!options.quiet)
        printText(stdout, CliHost::summary(result) + QLatin1Char('\n'));
    return status;
}

} // namespace

int main(int argc, char* argv[])
{
    // Without an application object: this names the folder of the program's own files.
    QCoreApplication::setApplicationName(kApplicationName);
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
    CliOptions options;
    const QString error = parseOptions(arguments, options);
    if (!error.isEmpty()) {
        printText(stderr, QStringLiteral("quorvalink-cli: %1\nTry 'quorvalink-cli --help'.\n").arg(error));
        return kExitUsage;
    }
    switch (options.command) {
    case Command::Help: printText(stdout, usageText()); return kExitSuccess;
    case Command::Version: printText(stdout, QStringLiteral("quorvalink-cli " QL_CLI_VERSION "\n")); return kExitSuccess;
    case Command::Ports: return options.check ? checkPorts() : listPorts();
    case Command::Watch: return watch::runWatch(options.watch);
    case Command::Send:
    case Command::Receive: break;
    }
    return transfer(options);
}
