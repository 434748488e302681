// Both transfers at full size through the window, the system serial control and the
// simulated device on a pseudo-terminal pair: 32767 records of 40 characters each
// way. Compared with a bulk copy of the same bytes through a pseudo-terminal pair,
// and split into the costs of the per-pass yield and the per-record status repaint.

#include "Measure.h"
#include "app/frmMainWin.h"
#include "eventlog/Messages.h"
#include "hhcsim/DataFile.h"
#include "hhcsim/SimulatedDevice.h"
#include "records/RecordFiles.h"
#include "support/DeviceThread.h"
#include "support/PtyPair.h"
#include "support/RecordMakers.h"
#include "records/RecordList.h"
#include "serial/PortMap.h"
#include "serial/PortProcedures.h"
#include "serial/SystemSerialControl.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QListView>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

using ql::bench::Clock;
using ql::bench::seconds;
using ql::bench::peakKb;
using ql::hhcsim::DeviceEvent;

constexpr int kRecords = 32767;
constexpr int kRecordLength = 40;
constexpr double kTargetCharsPerSecond = 250000;
constexpr long kTargetPeakKb = 100 * 1024;

// One session of the simulated device in a thread.
std::unique_ptr<ql::test::DeviceThread> startDevice(ql::hhcsim::DeviceOptions options)
{
    options.once = true;
    return std::make_unique<ql::test::DeviceThread>(std::move(options));
}

std::optional<Clock::time_point> began(const ql::test::DeviceThread& device)
{
    return device.firstAt(DeviceEvent::Kind::SessionBegan);
}

std::optional<Clock::time_point> received(const ql::test::DeviceThread& device)
{
    return device.firstAt(DeviceEvent::Kind::RecordsReceived);
}

bool receivedExactly(const ql::test::DeviceThread& device, const QByteArrayList& expected)
{
    const auto sessions = device.eventsOf(DeviceEvent::Kind::RecordsReceived);
    return !sessions.empty() && sessions.front().complete && sessions.front().records == expected;
}

// The processor time the calling thread has used: the window's, apart from the
// simulated device in its own thread.
double threadCpuSeconds()
{
    timespec now {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// When a given message first reaches the event list.
class MessageClock {
public:
    MessageClock(QListView& events, const QString& message)
    {
        QObject::connect(events.model(), &QAbstractItemModel::dataChanged, &m_context,
                         [this, message](const QModelIndex& first) {
                             if (!m_at && first.data().toString() == message)
                                 m_at = Clock::now();
                         });
    }
    std::optional<Clock::time_point> at() const { return m_at; }

private:
    QObject m_context;
    std::optional<Clock::time_point> m_at;
};

struct RunResult {
    bool ok = false;
    double clickSeconds = 0;    // the whole Start command
    double transferSeconds = 0; // from the device's session start to the last record's arrival
};

void printRun(const char* name, const RunResult& run, qint64 bytes, double bulkRate)
{
    const double rate = run.transferSeconds > 0 ? bytes / run.transferSeconds : 0;
    std::printf("%-8s %s  Start command %.3f s  transfer %.3f s  %9.0f chars/s  %5.1f%% of bulk copy  (target %.0f)\n",
                name, run.ok ? "ok  " : "FAIL", run.clickSeconds, run.transferSeconds, rate, 100.0 * rate / bulkRate,
                kTargetCharsPerSecond);
}

class Bench {
public:
    explicit Bench(const QString& link)
        : m_link(link)
    {
        QProcessEnvironment environment;
        environment.insert(ql::PortMap::variableName(1), link);
        m_window = std::make_unique<ql::frmMainWin>(
            std::make_unique<ql::SystemSerialControl>(ql::PortMap::fromRule(environment, {})));
        m_window->Form_Load();
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get()))
            std::fprintf(stderr, "the window was not exposed\n");
        m_window->findChild<QComboBox*>(QStringLiteral("cmbPort"))->setEditText(QStringLiteral("1"));
        m_window->findChild<QComboBox*>(QStringLiteral("cmbBaud"))->setEditText(QStringLiteral("921600"));
    }

    ql::frmMainWin& window() { return *m_window; }

    void setBaud(const QString& baud)
    {
        m_window->findChild<QComboBox*>(QStringLiteral("cmbBaud"))->setEditText(baud);
    }

    // A run as the window's own thread spends it: the processor time it took, and
    // the time from the first message to the last of `until`.
    struct Costed {
        bool ok = false;
        double seconds = 0;
        double cpuShare = 0;
        double abortSeconds = -1; // from the Abort click to the end of the Start command
    };
    Costed costedRun(bool sending, const QByteArrayList& records, const QString& path, ql::hhcsim::Faults faults,
                     const QString& from, const QString& until, std::optional<std::chrono::milliseconds> abortAfter)
    {
        QString error;
        if (sending && !ql::hhcsim::writeDataFile(path, records, error))
            std::fprintf(stderr, "%s\n", qPrintable(error));
        if (sending) {
            m_window->transferState().strPc2HhcFile = path;
            m_window->setProcessIndex(0);
            ql::LoadRecordsFile(*m_window, m_window->records(), path);
        } else {
            m_window->transferState().strHhc2PcFile = path;
            m_window->setProcessIndex(1);
        }
        ql::hhcsim::DeviceOptions options;
        options.linkPath = m_link;
        options.mode = sending ? ql::hhcsim::Mode::Receive : ql::hhcsim::Mode::Send;
        options.sendRecords = records;
        options.quiet = std::chrono::milliseconds(100);
        options.faults = faults;
        const auto device = startDevice(options);
        auto* events = m_window->findChild<QListView*>(QStringLiteral("lstEvents"));
        MessageClock started(*events, from);
        MessageClock ended(*events, until);
        std::optional<Clock::time_point> abortClicked;
        if (abortAfter) {
            QTimer::singleShot(*abortAfter, m_window.get(), [&] {
                abortClicked = Clock::now();
                QTest::mouseClick(m_window->findChild<QWidget*>(QStringLiteral("PicAbort")), Qt::LeftButton);
            });
        }
        const double cpuBefore = threadCpuSeconds();
        clickStart();
        const auto done = Clock::now();
        const double cpu = threadCpuSeconds() - cpuBefore;
        Costed run;
        run.ok = started.at() && ended.at();
        if (run.ok) {
            run.seconds = seconds(*ended.at() - *started.at());
            run.cpuShare = cpu / run.seconds;
        }
        if (abortClicked)
            run.abortSeconds = seconds(done - *abortClicked);
        return run;
    }

    RunResult pcToHhc(const QByteArrayList& records, const QString& path)
    {
        QString error;
        if (!ql::hhcsim::writeDataFile(path, records, error))
            std::fprintf(stderr, "%s\n", qPrintable(error));
        m_window->transferState().strPc2HhcFile = path;
        m_window->setProcessIndex(0);
        ql::LoadRecordsFile(*m_window, m_window->records(), path);

        ql::hhcsim::DeviceOptions options;
        options.linkPath = m_link;
        options.mode = ql::hhcsim::Mode::Receive;
        const auto device = startDevice(options);
        const auto start = Clock::now();
        clickStart();
        RunResult run;
        run.clickSeconds = seconds(Clock::now() - start);
        // The device reads the last characters after the port closed.
        for (int i = 0; i < 5000 && !received(*device); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        run.ok = m_window->lastResult() && m_window->lastResult()->succeeded() && receivedExactly(*device, records);
        if (began(*device) && received(*device))
            run.transferSeconds = seconds(*received(*device) - *began(*device));
        return run;
    }

    RunResult hhcToPc(const QByteArrayList& records, const QString& path)
    {
        m_window->transferState().strHhc2PcFile = path;
        m_window->setProcessIndex(1);

        ql::hhcsim::DeviceOptions options;
        options.linkPath = m_link;
        options.mode = ql::hhcsim::Mode::Send;
        options.sendRecords = records;
        options.quiet = std::chrono::milliseconds(100);
        const auto device = startDevice(options);
        MessageClock completed(*m_window->findChild<QListView*>(QStringLiteral("lstEvents")),
                               ql::msg::kReceptionCompleted);
        const auto start = Clock::now();
        clickStart();
        RunResult run;
        run.clickSeconds = seconds(Clock::now() - start);
        QFile saved(path);
        const bool savedExactly = saved.open(QIODevice::ReadOnly)
                                  && saved.readAll() == ql::hhcsim::formatDataFile(records);
        run.ok = completed.at() && savedExactly && m_window->records().count() == records.size();
        if (began(*device) && completed.at())
            run.transferSeconds = seconds(*completed.at() - *began(*device));
        return run;
    }

private:
    void clickStart()
    {
        QTest::mouseClick(m_window->findChild<QWidget*>(QStringLiteral("PicStart")), Qt::LeftButton);
    }

    QString m_link;
    std::unique_ptr<ql::frmMainWin> m_window;
};

// The same bytes through a raw pseudo-terminal pair, one thread writing the whole
// buffer, one reading: the most the line itself allows.
double bulkCopy(const QByteArray& bytes, bool towardsMaster)
{
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        std::perror("openpty");
        std::exit(1);
    }
    termios raw {};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    const int writeFd = towardsMaster ? slave : master;
    const int readFd = towardsMaster ? master : slave;

    const auto start = Clock::now();
    std::thread writer([&] {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(writeFd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
            if (n > 0)
                done += n;
            else if (n < 0 && errno != EINTR && errno != EAGAIN)
                break;
        }
    });
    qint64 got = 0;
    std::vector<char> buffer(1 << 16);
    while (got < bytes.size()) {
        pollfd ready {readFd, POLLIN, 0};
        if (::poll(&ready, 1, 5000) <= 0)
            break;
        const ssize_t n = ::read(readFd, buffer.data(), buffer.size());
        if (n <= 0)
            break;
        got += n;
    }
    const double elapsed = seconds(Clock::now() - start);
    writer.join();
    ::close(master);
    ::close(slave);
    if (got != bytes.size())
        std::fprintf(stderr, "bulk copy lost bytes: %lld of %lld\n", static_cast<long long>(got),
                     static_cast<long long>(bytes.size()));
    return got / elapsed;
}

template <typename Call>
double microsecondsPerCall(int count, Call call)
{
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i)
        call(i);
    return seconds(Clock::now() - start) * 1e6 / count;
}

// The serial control alone sending the records as the PC->HHC run does, with a
// thread draining the far end: each record through SendPaced, or, for comparison,
// handed to Output whole. Also the cost of one OutBufferCount read on the idle line.
double controlSendRate(const QByteArrayList& records, bool wholeRecords, double* outBufferCountUs = nullptr)
{
    ql::test::PtyPair pty;
    QProcessEnvironment environment;
    environment.insert(ql::PortMap::variableName(1), pty.slavePath());
    ql::SystemSerialControl control(ql::PortMap::fromRule(environment, {}));
    ql::OpenSerialPort(control, ql::LineControls {QStringLiteral("1"), QStringLiteral("921600"), QStringLiteral("8"),
                                                  QStringLiteral("1")});
    if (outBufferCountUs) {
        *outBufferCountUs = microsecondsPerCall(200000, [&](int) { static_cast<void>(control.OutBufferCount()); });
    }
    const qint64 total = ql::test::recordsOnWire(records).size();
    qint64 got = 0;
    std::thread reader([&] { got = pty.read(total, std::chrono::seconds(60)).size(); });
    const auto start = Clock::now();
    for (qsizetype k = 0; k < records.size(); ++k) {
        const QString record = QString::fromLatin1(records.at(k));
        while (control.OutBufferCount() != 0) {
        }
        if (wholeRecords)
            control.setOutput(record);
        else
            ql::SendPaced(control, record);
        control.setOutput(k + 1 == records.size() ? QStringLiteral("$") : QStringLiteral("@"));
    }
    ql::CloseSerialPort(control);
    reader.join();
    return got / seconds(Clock::now() - start);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // transfer_bench [runs [pc2hhc|hhc2pc]]: one direction alone, for profiling.
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const bool sending = only.isEmpty() || only == QLatin1String("pc2hhc");
    const bool receiving = only.isEmpty() || only == QLatin1String("hhc2pc");

    QTemporaryDir dir;
    const QByteArrayList records = ql::test::makeRecords(kRecords, kRecordLength);
    const QByteArray wire = ql::test::recordsOnWire(records);
    const qint64 bytes = wire.size();

    const double bulkToDevice = bulkCopy(wire, true);
    const double bulkFromDevice = bulkCopy(wire, false);
    std::printf("%d records of %d characters: %lld characters on the wire each way\n", kRecords, kRecordLength,
                static_cast<long long>(bytes));
    std::printf("bulk copy through a pseudo-terminal pair: %.0f chars/s one way, %.0f chars/s the other\n",
                bulkToDevice, bulkFromDevice);

    Bench bench(dir.filePath(QStringLiteral("hhc")));
    bool allOk = true;
    double worstRate = 1e18;
    std::vector<double> sendShares;
    for (int run = 1; run <= runs; ++run) {
        std::vector<RunResult> results;
        if (sending) {
            results.push_back(bench.pcToHhc(records, dir.filePath(QStringLiteral("send.txt"))));
            printRun("PC->HHC", results.back(), bytes, bulkToDevice);
            // The bare paced loop right after, so that both meet the same load.
            const double bare = controlSendRate(records, false);
            const double share = results.back().transferSeconds > 0 ? bytes / results.back().transferSeconds / bare : 0;
            sendShares.push_back(share);
            std::printf("         bare paced loop %.0f chars/s: the window sent at %.1f%% of it\n", bare, 100 * share);
        }
        if (receiving) {
            results.push_back(bench.hhcToPc(records, dir.filePath(QStringLiteral("received.txt"))));
            printRun("HHC->PC", results.back(), bytes, bulkFromDevice);
        }
        for (const RunResult& r : results) {
            allOk = allOk && r.ok;
            worstRate = std::min(worstRate, r.transferSeconds > 0 ? bytes / r.transferSeconds : 0.0);
        }
    }

    // What the window costs on its own, with nothing on the line.
    ql::frmMainWin& window = bench.window();
    const double statusUs = microsecondsPerCall(kRecords, [&](int i) { window.showStatus(QString::number(i)); });
    const double processEventsUs = microsecondsPerCall(200000, [](int) { QCoreApplication::processEvents(); });
    std::printf("processEvents, idle window: %.2f us a call\n", processEventsUs);
    std::printf("status repaint (showStatus): %.2f us a call; once per record: %.2f s of a run\n", statusUs,
                statusUs * 1e-6 * kRecords);

    bool waitsMet = true;
    if (sending && receiving) {
        // The window's waits on its own event loop, against their targets.
        using namespace std::chrono_literals;
        ql::hhcsim::Faults silent;
        silent.noAnswer = true;
        const auto timeout = bench.costedRun(true, records.mid(0, 1), dir.filePath(QStringLiteral("one.txt")), silent,
                                             ql::msg::kWaitingResponse, ql::msg::kDeviceNotResponding, {});
        const bool timeoutMet = timeout.ok && timeout.cpuShare <= 0.02 && std::abs(timeout.seconds - 15) <= 1;
        std::printf("silent device: handshake time-out %.2f s (target 15 +- 1), window thread %.2f%% of a core "
                    "(target <= 2%%)  %s\n",
                    timeout.seconds, 100 * timeout.cpuShare, timeoutMet ? "met" : "NOT met");

        const QByteArrayList twoThousand = records.mid(0, 2000);
        ql::hhcsim::Faults paced;
        paced.baud = 115200;
        bench.setBaud(QStringLiteral("115200"));
        const auto send = bench.costedRun(true, twoThousand, dir.filePath(QStringLiteral("paced.txt")), paced,
                                          ql::msg::kSendingData, ql::msg::kTransferSucceeded, {});
        const auto receive = bench.costedRun(false, twoThousand, dir.filePath(QStringLiteral("pacedin.txt")), paced,
                                             ql::msg::kSentResponse, ql::msg::kReceptionCompleted, {});
        const bool pacedMet = send.ok && receive.ok && send.cpuShare <= 0.15 && receive.cpuShare <= 0.15;
        std::printf("2000 records paced at 115200: send %.2f s at %.1f%% of a core, reception %.2f s at %.1f%% "
                    "(target <= 15%%)  %s\n",
                    send.seconds, 100 * send.cpuShare, receive.seconds, 100 * receive.cpuShare,
                    pacedMet ? "met" : "NOT met");
        bench.setBaud(QStringLiteral("921600"));

        const auto aborted = bench.costedRun(true, records, dir.filePath(QStringLiteral("abort.txt")), {},
                                             ql::msg::kSendingData, ql::msg::kTransferFailed, 1000ms);
        const bool abortMet = aborted.abortSeconds >= 0 && aborted.abortSeconds <= 0.1;
        std::printf("Abort 1 s into a %d-record send: the run ended %.1f ms after the click (target <= 100 ms)  %s\n",
                    kRecords, 1000 * aborted.abortSeconds, abortMet ? "met" : "NOT met");
        waitsMet = timeoutMet && pacedMet && abortMet;
    }

    if (sending) {
        double outBufferCountUs = 0;
        const double paced = controlSendRate(records, false, &outBufferCountUs);
        std::printf("serial control alone, records through SendPaced: %.0f chars/s (%.2f us a character, of which "
                    "%.2f us the OutBufferCount read)\n",
                    paced, 1e6 / paced, outBufferCountUs);
        std::printf("serial control alone, each record one Output:     %.0f chars/s\n", controlSendRate(records, true));
        std::sort(sendShares.begin(), sendShares.end());
        const double windowShare = sendShares.empty() ? 0 : sendShares[sendShares.size() / 2];
        std::printf("PC->HHC through the window: median %.1f%% of the bare paced loop (target >= 90%%)  %s\n",
                    100 * windowShare, windowShare >= 0.9 ? "met" : "NOT met");
        waitsMet = waitsMet && windowShare >= 0.9;
    }

    const long peak = peakKb();
    std::printf("peak memory (ru_maxrss): %.1f MB  (target under %ld MB)\n", peak / 1024.0, kTargetPeakKb / 1024);
    const bool met = allOk && waitsMet && worstRate >= kTargetCharsPerSecond && peak < kTargetPeakKb;
    std::printf("%s\n", met ? "targets met" : "targets NOT met");
    return met ? 0 : 2;
}
