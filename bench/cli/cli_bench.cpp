// The command-line program as a script runs it, against the simulated device on a
// pseudo-terminal pair: the processor time it takes while a silent device keeps it
// waiting, its throughput and processor time on a line paced at 115200 baud, its
// unpaced throughput with 32767 records of 40 characters, its peak memory, and its
// peak memory when a device floods it past what a reception keeps.
// The program's own use is measured on the child process (wait4), so that the
// simulated device, which runs in this process, is not counted.
//
//   cli_bench [silent-seconds]   (default 30)

#include "Measure.h"
#include "hhcsim/DataFile.h"
#include "hhcsim/SimulatedDevice.h"
#include "support/DeviceThread.h"
#include "support/RecordMakers.h"
#include "support/WaitFor.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <utility>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using ql::bench::Clock;
using ql::bench::seconds;
using ql::hhcsim::DeviceEvent;
using ql::test::makeRecords;
using ql::test::recordsOnWire;

constexpr int kLineBaud = 115200;
constexpr double kLineCharsPerSecond = kLineBaud / 10.0;
constexpr int kPacedRecords = 5000;
constexpr int kUnpacedRecords = 32767;
constexpr int kRecordLength = 40;

constexpr double kTargetSilentCpu = 0.02;
constexpr double kTargetPacedShare = 0.97;
constexpr double kTargetPacedCpu = 0.10;
constexpr long kTargetPeakKb = 30 * 1024;
constexpr long kTargetFloodPeakKb = 100 * 1024;

// From the begin request to the end character's arrival, for records sent to the device.
std::optional<double> receiveSeconds(const ql::test::DeviceThread& device, const QByteArrayList& expected)
{
    // A paced line still carries what the program handed to the system when it ended.
    ql::test::waitFor([&] { return device.firstAt(DeviceEvent::Kind::RecordsReceived).has_value(); },
                      std::chrono::seconds(30));
    const auto began = device.firstAt(DeviceEvent::Kind::SessionBegan);
    const auto received = device.firstAt(DeviceEvent::Kind::RecordsReceived);
    const auto sessions = device.eventsOf(DeviceEvent::Kind::RecordsReceived);
    if (!began || !received || !sessions.front().complete || sessions.front().records != expected)
        return std::nullopt;
    return seconds(*received - *began);
}

struct ChildRun {
    int exitCode = -1;
    double wallSeconds = 0;
    double cpuSeconds = 0;
    long peakKb = 0;
    std::string out;

    double cpuShare() const { return wallSeconds > 0 ? cpuSeconds / wallSeconds : 0; }
    // The characters per second the program's summary line gives.
    double summaryRate() const
    {
        static const QRegularExpression rate(QStringLiteral("Summary: .* (\\d+) characters per second"));
        const auto match = rate.match(QString::fromStdString(out));
        return match.hasMatch() ? match.captured(1).toDouble() : 0;
    }
};

// The peak memory that wait4 gives a spawned child includes this process's own,
// which the child shares until its exec. GNU time, itself small, spawns the
// program afresh, so its figure is the program's alone.
constexpr char kTimeProgram[] = "/usr/bin/time";

ChildRun runCli(const std::vector<std::string>& arguments)
{
    const bool timed = ::access(kTimeProgram, X_OK) == 0;
    const std::string peakFile = QDir::temp().filePath(QStringLiteral("cli_bench-peak-%1").arg(::getpid())).toStdString();
    std::vector<std::string> copies;
    if (timed)
        copies = {kTimeProgram, "--quiet", "--format=%M", "--output=" + peakFile};
    copies.push_back(QL_CLI_EXE);
    copies.insert(copies.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::string program = copies.front();

    int out[2];
    if (::pipe(out) != 0)
        std::abort();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);

    ChildRun run;
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        std::abort();
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(out[0], buffer, sizeof buffer)) > 0)
        run.out.append(buffer, static_cast<size_t>(n));
    ::close(out[0]);
    int status = 0;
    rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    run.wallSeconds = seconds(Clock::now() - start);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec
                     + usage.ru_stime.tv_usec * 1e-6;
    run.peakKb = usage.ru_maxrss;
    if (timed) {
        QFile peak(QString::fromStdString(peakFile));
        if (peak.open(QIODevice::ReadOnly))
            run.peakKb = peak.readAll().trimmed().split('\n').last().toLong();
        peak.remove();
    }
    if (std::getenv("CLI_BENCH_DEBUG") || run.exitCode != 0)
        std::fprintf(stderr, "quorvalink-cli ended with %d:\n%s", run.exitCode, run.out.c_str());
    return run;
}

ql::hhcsim::DeviceOptions deviceOptions(const QString& link, ql::hhcsim::Mode mode, int baud)
{
    ql::hhcsim::DeviceOptions options;
    options.linkPath = link;
    options.mode = mode;
    options.faults.baud = baud;
    options.quiet = std::chrono::milliseconds(300);
    options.once = true;
    return options;
}

struct Figures {
    bool ok = false;
    double rate = 0;
    double cpu = 0;
    long peakKb = 0;
};

Figures send(const QString& link, const QString& file, const QByteArrayList& records, int baud)
{
    const ql::test::DeviceThread device(deviceOptions(link, ql::hhcsim::Mode::Receive, baud));
    const ChildRun run = runCli({"send", "--device", link.toStdString(), "--quiet", file.toStdString()});
    const std::optional<double> transfer = receiveSeconds(device, records);
    Figures figures;
    figures.ok = run.exitCode == 0 && transfer.has_value();
    figures.rate = transfer ? static_cast<double>(recordsOnWire(records).size()) / *transfer : 0;
    figures.cpu = run.cpuShare();
    figures.peakKb = run.peakKb;
    return figures;
}

Figures receive(const QString& link, const QString& file, const QByteArrayList& records, int baud)
{
    ql::hhcsim::DeviceOptions options = deviceOptions(link, ql::hhcsim::Mode::Send, baud);
    options.sendRecords = records;
    const ql::test::DeviceThread device(options);
    const ChildRun run = runCli({"receive", "--device", link.toStdString(), file.toStdString()});
    QByteArrayList got;
    QString error;
    Figures figures;
    figures.ok = run.exitCode == 0 && ql::hhcsim::readDataFile(file, got, error) && got == records;
    figures.rate = run.summaryRate();
    figures.cpu = run.cpuShare();
    figures.peakKb = run.peakKb;
    return figures;
}

} // namespace

int main(int argc, char* argv[])
{
    const int silentSeconds = argc > 1 ? std::atoi(argv[1]) : 30;
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("hhc"));
    const QString sendFile = dir.filePath(QStringLiteral("send.txt"));
    const QString receiveFile = dir.filePath(QStringLiteral("received.txt"));
    QString error;
    long peak = 0;
    bool met = true;

    // A device that never answers: the handshake waits out the whole time-out.
    {
        const QByteArrayList records = makeRecords(10, kRecordLength);
        ql::hhcsim::writeDataFile(sendFile, records, error);
        ql::hhcsim::DeviceOptions options = deviceOptions(link, ql::hhcsim::Mode::Receive, 0);
        options.faults.noAnswer = true;
        const ql::test::DeviceThread device(options);
        const ChildRun run = runCli({"send", "--device", link.toStdString(), "--timeout",
                                     std::to_string(silentSeconds), "--quiet", sendFile.toStdString()});
        const bool ok = run.exitCode == 1 && run.wallSeconds >= silentSeconds;
        std::printf("silent device, %d s handshake wait: %s  %.3f s of processor time in %.1f s: %.2f%% of a core  "
                    "(target <= %.0f%%)\n",
                    silentSeconds, ok ? "ok  " : "FAIL", run.cpuSeconds, run.wallSeconds, 100 * run.cpuShare(),
                    100 * kTargetSilentCpu);
        met = met && ok && run.cpuShare() <= kTargetSilentCpu;
        peak = std::max(peak, run.peakKb);
    }

    // A line paced at 115200 baud both ways.
    {
        const QByteArrayList records = makeRecords(kPacedRecords, kRecordLength);
        ql::hhcsim::writeDataFile(sendFile, records, error);
        std::printf("paced at %d baud (%.0f chars/s), %d records of %d characters:\n", kLineBaud, kLineCharsPerSecond,
                    kPacedRecords, kRecordLength);
        for (const bool sending : {true, false}) {
            const Figures f = sending ? send(link, sendFile, records, kLineBaud)
                                      : receive(link, receiveFile, records, kLineBaud);
            const double share = f.rate / kLineCharsPerSecond;
            std::printf("  %s %s  %7.0f chars/s  %5.1f%% of the line rate (target >= %.0f%%)  processor %4.1f%% of a "
                        "core (target <= %.0f%%)\n",
                        sending ? "PC->HHC" : "HHC->PC", f.ok ? "ok  " : "FAIL", f.rate, 100 * share,
                        100 * kTargetPacedShare, 100 * f.cpu, 100 * kTargetPacedCpu);
            met = met && f.ok && share >= kTargetPacedShare && f.cpu <= kTargetPacedCpu;
            peak = std::max(peak, f.peakKb);
        }
    }

    // Unpaced, as fast as the pseudo-terminal pair goes: compare with transfer_bench's window figures.
    {
        const QByteArrayList records = makeRecords(kUnpacedRecords, kRecordLength);
        ql::hhcsim::writeDataFile(sendFile, records, error);
        std::printf("unpaced, %d records of %d characters (compare transfer_bench, the window):\n", kUnpacedRecords,
                    kRecordLength);
        for (const bool sending : {true, false}) {
            const Figures f = sending ? send(link, sendFile, records, 0) : receive(link, receiveFile, records, 0);
            std::printf("  %s %s  %9.0f chars/s  processor %5.1f%% of a core\n", sending ? "PC->HHC" : "HHC->PC",
                        f.ok ? "ok  " : "FAIL", f.rate, 100 * f.cpu);
            met = met && f.ok;
            peak = std::max(peak, f.peakKb);
        }
    }

    // Devices that send more than a reception keeps: it ends as failed at its bound.
    {
        const std::pair<const char*, QByteArrayList> floods[] = {
            {"one record of 30 MB, no separator", {QByteArray(30 * 1024 * 1024, 'x')}},
            {"20000 records of 1000 characters (20 MB)", makeRecords(20000, 1000)},
        };
        for (const auto& [what, records] : floods) {
            ql::hhcsim::DeviceOptions options = deviceOptions(link, ql::hhcsim::Mode::Send, 0);
            options.sendRecords = records;
            const ql::test::DeviceThread device(options);
            const ChildRun run = runCli({"receive", "--device", link.toStdString(), "--quiet", receiveFile.toStdString()});
            const bool ok = run.exitCode == 1;
            std::printf("flood, %s: %s  peak memory %.1f MB  (target under %ld MB)\n", what, ok ? "ok  " : "FAIL",
                        run.peakKb / 1024.0, kTargetFloodPeakKb / 1024);
            met = met && ok && run.peakKb < kTargetFloodPeakKb;
        }
    }

    std::printf("peak memory of the program (ru_maxrss): %.1f MB  (target under %ld MB)\n", peak / 1024.0,
                kTargetPeakKb / 1024);
    met = met && peak < kTargetPeakKb;
    std::printf("%s\n", met ? "targets met" : "targets NOT met");
    return met ? 0 : 2;
}
