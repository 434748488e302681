// The unattended receptions of `quorvalink-cli watch` on 8 ports, against simulated
// devices on pseudo-terminal pairs: the processor time and wake-ups of the program
// while its 8 devices stay silent; then 8 devices sending at 115200 baud at the same
// moment: each file byte for byte, each port's rate against its line, the time from
// each begin request to its answer, the processor time in all, and the peak memory.
// The program's figures come from /proc, so that the simulated devices, which run
// in this process, are not counted.
//
//   watch_bench [idle-seconds]   (default 10)

#include "Measure.h"
#include "hhcsim/DataFile.h"
#include "hhcsim/SimulatedDevice.h"
#include "support/DeviceThread.h"
#include "support/RecordMakers.h"
#include "support/WaitFor.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using ql::bench::Clock;
using ql::bench::seconds;
using ql::hhcsim::DeviceEvent;

constexpr int kPorts = 8;
constexpr int kLineBaud = 115200;
constexpr double kLineCharsPerSecond = kLineBaud / 10.0;
constexpr int kRecords = 2000;
constexpr int kRecordLength = 40;

constexpr double kTargetIdleCpu = 0.005;
constexpr double kTargetRateShare = 0.95;
constexpr double kTargetAnswerMs = 50;
constexpr double kTargetBusyCpu = 0.5;
constexpr long kTargetPeakKb = 40 * 1024;

// What /proc tells of the program: processor time, and voluntary context switches
// (the sleeps it woke from) summed over its threads.
struct ProcFigures {
    double cpuSeconds = 0;
    long wakeUps = 0;
    long peakKb = 0;
};

long statusField(const QByteArray& status, const QByteArray& name)
{
    for (const QByteArray& line : status.split('\n'))
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().split(' ').first().toLong();
    return 0;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ProcFigures procFigures(pid_t pid)
{
    ProcFigures figures;
    const QString proc = QStringLiteral("/proc/%1").arg(pid);
    // utime and stime, the 14th and 15th fields, after the parenthesised name.
    const QByteArray stat = readAll(proc + QStringLiteral("/stat"));
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() > 12)
        figures.cpuSeconds = static_cast<double>(fields[11].toLong() + fields[12].toLong())
            / static_cast<double>(::sysconf(_SC_CLK_TCK));
    for (const QString& task : QDir(proc + QStringLiteral("/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        figures.wakeUps += statusField(readAll(proc + QStringLiteral("/task/") + task + QStringLiteral("/status")),
                                       "voluntary_ctxt_switches");
    figures.peakKb = statusField(readAll(proc + QStringLiteral("/status")), "VmHWM");
    return figures;
}

pid_t spawnWatch(const std::vector<std::string>& arguments, const QString& output)
{
    std::vector<std::string> copies {QL_CLI_EXE};
    copies.insert(copies.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray out = QFile::encodeName(output);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv.front(), &actions, nullptr, argv.data(), environ) != 0)
        std::abort();
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

std::vector<QJsonObject> journalLines(const QString& path)
{
    std::vector<QJsonObject> lines;
    for (const QByteArray& line : readAll(path).split('\n'))
        if (!line.isEmpty())
            lines.push_back(QJsonDocument::fromJson(line).object());
    return lines;
}

ql::hhcsim::DeviceOptions deviceOptions(const QString& link, ql::hhcsim::Mode mode, const QByteArrayList& records)
{
    ql::hhcsim::DeviceOptions options;
    options.linkPath = link;
    options.mode = mode;
    options.sendRecords = records;
    options.faults.baud = kLineBaud;
    options.quiet = std::chrono::milliseconds(300);
    options.once = true;
    return options;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 10;
    QTemporaryDir dir;
    const QString into = dir.filePath(QStringLiteral("received"));
    const QString journal = dir.filePath(QStringLiteral("journal.jsonl"));
    const QString output = dir.filePath(QStringLiteral("output.txt"));
    std::vector<std::string> arguments {"watch", "--into", into.toStdString(), "--journal", journal.toStdString()};
    QStringList links;
    for (int i = 0; i < kPorts; ++i) {
        links << dir.filePath(QStringLiteral("hhc%1").arg(i));
        arguments.insert(arguments.end(), {"--device", links.constLast().toStdString()});
    }
    bool met = true;

    // Devices that wait for the PC to start: every port waits for a begin request.
    std::vector<std::unique_ptr<ql::test::DeviceThread>> devices;
    for (const QString& link : links)
        devices.push_back(std::make_unique<ql::test::DeviceThread>(deviceOptions(link, ql::hhcsim::Mode::Receive, {})));
    const pid_t pid = spawnWatch(arguments, output);
    const bool waiting = ql::test::waitFor(
        [&] { return readAll(output).count("waiting for the device") >= kPorts; }, std::chrono::seconds(20));
    {
        const ProcFigures before = procFigures(pid);
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
        const ProcFigures after = procFigures(pid);
        const double wall = seconds(Clock::now() - start);
        const double cpu = (after.cpuSeconds - before.cpuSeconds) / wall;
        const long wakeUps = after.wakeUps - before.wakeUps;
        std::printf("%d idle ports, %.1f s: %s  processor %.3f%% of a core (target <= %.1f%%), %ld wake-ups "
                    "(target 0)\n",
                    kPorts, wall, waiting ? "ok  " : "FAIL", 100 * cpu, 100 * kTargetIdleCpu, wakeUps);
        met = met && waiting && cpu <= kTargetIdleCpu && wakeUps == 0;
    }

    // The idle devices go, and 8 that send come at the same links at once.
    devices.clear();
    const QByteArrayList records = ql::test::makeRecords(kRecords, kRecordLength);
    const qint64 wireBytes = ql::test::recordsOnWire(records).size();
    const ProcFigures before = procFigures(pid);
    const auto start = Clock::now();
    for (const QString& link : links)
        devices.push_back(std::make_unique<ql::test::DeviceThread>(deviceOptions(link, ql::hhcsim::Mode::Send, records)));
    std::vector<std::optional<Clock::time_point>> saved(kPorts);
    const bool allSaved = ql::test::waitFor(
        [&] {
            for (const QJsonObject& line : journalLines(journal)) {
                for (int i = 0; i < kPorts; ++i)
                    if (!saved[i] && line[QStringLiteral("device")].toString() == devices[i]->device().ptsPath())
                        saved[i] = Clock::now();
            }
            return std::all_of(saved.begin(), saved.end(), [](const auto& at) { return at.has_value(); });
        },
        std::chrono::seconds(60));
    const double wall = seconds(Clock::now() - start);
    const ProcFigures after = procFigures(pid);

    std::vector<double> answers;
    double slowest = 1;
    bool exact = true;
    for (const QJsonObject& line : journalLines(journal)) {
        QByteArrayList got;
        QString error;
        exact = exact && line[QStringLiteral("outcome")].toString() == QLatin1String("succeeded")
            && ql::hhcsim::readDataFile(line[QStringLiteral("file")].toString(), got, error) && got == records;
    }
    for (int i = 0; i < kPorts; ++i) {
        const auto asked = devices[i]->firstAt(DeviceEvent::Kind::Note, QStringLiteral("sent the begin request"));
        const auto answered = devices[i]->firstAt(DeviceEvent::Kind::Note, QStringLiteral("got the answer"));
        if (asked && answered)
            answers.push_back(1000 * seconds(*answered - *asked));
        if (answered && saved[i])
            slowest = std::min(slowest, static_cast<double>(wireBytes) / seconds(*saved[i] - *answered)
                                            / kLineCharsPerSecond);
    }
    const double cpu = (after.cpuSeconds - before.cpuSeconds) / wall;
    std::printf("%d devices at %d baud, %d records of %d characters each, at once: %s\n", kPorts, kLineBaud, kRecords,
                kRecordLength, allSaved && exact ? "ok, every file byte for byte" : "FAIL");
    std::printf("  slowest port, answer to file saved: %.1f%% of its line rate (target >= %.0f%%)\n", 100 * slowest,
                100 * kTargetRateShare);
    std::printf("  begin request to answer, median of %zu: %.1f ms (target <= %.0f ms)\n", answers.size(),
                median(answers), kTargetAnswerMs);
    std::printf("  processor %.1f%% of a core in all over %.1f s (target <= %.0f%%), %ld wake-ups\n", 100 * cpu, wall,
                100 * kTargetBusyCpu, after.wakeUps - before.wakeUps);
    std::printf("peak memory of the program (VmHWM): %.1f MB (target under %ld MB)\n", after.peakKb / 1024.0,
                kTargetPeakKb / 1024);
    met = met && allSaved && exact && slowest >= kTargetRateShare && answers.size() == kPorts
        && median(answers) <= kTargetAnswerMs && cpu <= kTargetBusyCpu && after.peakKb < kTargetPeakKb;

    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    const bool clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::printf("ended by SIGTERM: %s\n", clean ? "exit 0" : "FAIL");
    if (std::getenv("WATCH_BENCH_DEBUG"))
        std::fputs(readAll(output).constData(), stderr);
    met = met && clean;
    std::printf("%s\n", met ? "targets met" : "targets NOT met");
    return met ? 0 : 2;
}
