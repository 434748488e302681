#include "hhcsim/CommandLine.h"
#include "hhcsim/DataFile.h"
#include "hhcsim/SimulatedDevice.h"

#include <QStringList>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <exception>

using namespace ql::hhcsim;

namespace {

std::atomic<SimulatedDevice*> g_device {nullptr};

extern "C" void onSignal(int)
{
    if (SimulatedDevice* device = g_device.load())
        device->stop();
}

void say(const QString& text)
{
    std::fprintf(stderr, "hhcsim: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

void writeToStdout(const QByteArrayList& records)
{
    const QByteArray bytes = formatDataFile(records);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void keepReceived(const QString& receiveFile, const QByteArrayList& records)
{
    if (receiveFile.isEmpty()) {
        writeToStdout(records);
        return;
    }
    QString error;
    if (writeDataFile(receiveFile, records, error)) {
        say(QStringLiteral("wrote %1 records to %2").arg(records.size()).arg(receiveFile));
        return;
    }
    say(error + QStringLiteral("; writing the records to standard output instead"));
    writeToStdout(records);
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    CommandLine line;
    const QString usageError = parseCommandLine(arguments, line);
    if (!usageError.isEmpty()) {
        std::fprintf(stderr, "quorvalink-hhcsim: %s\nTry 'quorvalink-hhcsim --help'.\n",
                     usageError.toLocal8Bit().constData());
        return 2;
    }
    if (line.help) {
        std::fputs(usageText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!line.sendFile.isEmpty()) {
        QString error;
        if (!readDataFile(line.sendFile, line.device.sendRecords, error)) {
            say(error);
            return 1;
        }
        if (line.device.sendRecords.isEmpty()) {
            say(QStringLiteral("%1 holds no records, and the protocol cannot send an empty set").arg(line.sendFile));
            return 1;
        }
    }

    const QString receiveFile = line.receiveFile;
    const auto listener = [&receiveFile](const DeviceEvent& event) {
        say(event.text);
        if (event.kind == DeviceEvent::Kind::RecordsReceived)
            keepReceived(receiveFile, event.records);
    };

    // Held back until the device exists, so that an early signal still removes its link.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&endSignals, signal);
    sigprocmask(SIG_BLOCK, &endSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    try {
        SimulatedDevice device(line.device, listener);
        g_device.store(&device);
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
            sigaction(signal, &action, nullptr);
        sigprocmask(SIG_UNBLOCK, &endSignals, nullptr);

        const bool ok = device.run();
        // Past here a signal must not reach a device that is going away.
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
            std::signal(signal, SIG_IGN);
        g_device.store(nullptr);
        say(ok ? QStringLiteral("stopped") : QStringLiteral("stopped on an error"));
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        say(QString::fromLocal8Bit(e.what()));
        return 1;
    }
}
