#include "watch/PortWatcher.h"

#include "eventlog/Messages.h"
#include "records/RecordFiles.h"
#include "records/RecordList.h"
#include "serial/BlockingWaiter.h"
#include "serial/PortIdentity.h"
#include "serial/PortMap.h"
#include "serial/SystemSerialControl.h"
#include "transfer/RunContext.h"
#include "transfer/TransferHost.h"
#include "transfer/TransferState.h"
#include "transfer/Transfers.h"
#include "watch/FileNameTemplate.h"
#include "watch/Journal.h"
#include "watch/WatchOptions.h"
#include "watch/WatchOutput.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <utility>

namespace ql::watch {

namespace {

// How long a port that could not be taken waits for another try when no device
// change comes first.
constexpr auto kRetryInterval = std::chrono::seconds(10);

// The engine's side of one watched port: it keeps the messages of the reception
// in hand, for the lines that tell how it ended.
class ReceptionHost final : public TransferHost {
public:
    std::function<void()> waiting;
    QDateTime began;

    void postMessage(const QString& text) override
    {
        m_last = text;
        m_posted.append(text);
        if (text == msg::kWaitingBeginRequest && waiting)
            waiting();
    }
    QString lastMessage() const override { return m_last; }
    void showStatus(const QString&) override {}
    RecordList& records() override { return m_records; }
    void receptionBegan() override
    {
        began = QDateTime::currentDateTime();
        m_posted.clear();
    }

    // The messages posted since the last call.
    QStringList take() { return std::exchange(m_posted, {}); }

private:
    RecordList m_records;
    QString m_last;
    QStringList m_posted;
};

QByteArray sha256Of(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result().toHex() : QByteArray();
}

QString endingText(const JournalEntry& entry, bool inFolder)
{
    const QString records = QStringLiteral("%1 record%2").arg(entry.records).arg(entry.records == 1 ? "" : "s");
    const QString where = entry.file.isEmpty() ? (entry.records > 0 ? QStringLiteral(", written nowhere") : QString())
                                               : (inFolder ? QStringLiteral(" in ") : QStringLiteral(" in the recovery file "))
            + entry.file;
    if (entry.outcome == Outcome::Succeeded)
        return QStringLiteral("received %1%2").arg(records, where);
    return QStringLiteral("reception %1 (%2) after %3%4")
        .arg(outcomeWord(entry.outcome), reasonWord(entry.reason), records, where);
}

} // namespace

PortWatcher::PortWatcher(WatchShared& shared, QString name)
    : m_shared(shared),
      m_name(std::move(name)),
      m_thread([this] { run(); })
{
}

PortWatcher::~PortWatcher()
{
    stop();
    m_thread.join();
}

void PortWatcher::offer(const QString& device)
{
    const std::lock_guard lock(m_mutex);
    if (m_trying.isEmpty() || device != m_trying)
        m_wake.raise();
    m_offered = device;
}

void PortWatcher::stop()
{
    const std::lock_guard lock(m_mutex);
    m_stopping = true;
    m_wake.raise();
}

bool PortWatcher::stopping()
{
    const std::lock_guard lock(m_mutex);
    return m_stopping;
}

QString PortWatcher::wakeReason()
{
    const std::lock_guard lock(m_mutex);
    return m_stopping ? msg::abortedBySignal(m_shared.endingSignal) : msg::portLetGo(m_trying);
}

void PortWatcher::run()
{
    QString lastProblem;
    for (;;) {
        QString device;
        {
            // Cleared under the lock, so that an offer made from now on wakes the next wait.
            const std::lock_guard lock(m_mutex);
            m_wake.clear();
            if (m_stopping)
                return;
            device = m_offered;
            m_trying = device;
        }
        if (device.isEmpty()) {
            m_wake.wait(std::nullopt);
            continue;
        }
        const std::optional<QString> problem = receiveOn(device);
        {
            const std::lock_guard lock(m_mutex);
            m_trying.clear();
        }
        if (!problem) {
            lastProblem.clear();
            continue;
        }
        if (stopping())
            return;
        if (*problem != lastProblem)
            m_shared.output.problem(m_name, QStringLiteral("cannot take %1: %2; trying again when a device comes or "
                                                           "goes, or in %3 seconds")
                                                .arg(device, *problem)
                                                .arg(kRetryInterval.count()));
        lastProblem = *problem;
        m_wake.wait(kRetryInterval);
    }
}

std::optional<QString> PortWatcher::receiveOn(const QString& device)
{
    const WatchOptions& options = m_shared.options;
    const PortIdentity identity = portIdentity(device);
    const QString port = identity.portName();
    SystemSerialControl control(PortMap::ofDevice(device));
    BlockingWaiter waiter(control, m_wake.handle());
    ReceptionHost host;
    RunContext run {host, control, waiter, {kBeginChar, kEndChar, kSepChar}};
    waiter.woken = [&] { run.abort(wakeReason()); };
    bool announced = false;
    host.waiting = [&] {
        if (!std::exchange(announced, true))
            m_shared.output.event(m_name, QStringLiteral("waiting for the device on %1").arg(device));
    };

    TransferRequest request;
    request.direction = Direction::HhcToPc;
    request.line = {QString::number(PortMap::kFirstPort), options.baud, options.dataBits, options.stopBits};
    request.handshakeTimeout.reset();
    request.quietLimit = options.quietLimit;

    for (;;) {
        host.take();
        TransferResult result = RunHhcToPc(run, request);
        const QStringList posted = host.take();
        // Only the end of the program aborts; a device that went fails its reception.
        if (result.outcome == Outcome::Aborted && !stopping())
            result.outcome = Outcome::Failed;
        if (result.outcome == Outcome::Refused)
            return posted.join(QLatin1Char(' '));
        if (!result.receiving.beginRequestReceived) {
            if (!run.closedBy)
                m_shared.output.event(m_name, QStringLiteral("let go of %1: %2").arg(device, posted.join(QLatin1Char(' '))));
            return std::nullopt;
        }
        if (!result.succeeded())
            for (const QString& text : posted)
                m_shared.output.event(m_name, text);

        JournalEntry entry;
        entry.started = host.began;
        entry.port = port;
        entry.device = device;
        entry.identity = identity.stableIdentity();
        entry.outcome = result.outcome;
        entry.reason = result.reason;
        entry.records = result.records;
        entry.bytes = result.bytes;
        entry.droppedCharacters = result.receiving.droppedCharacters;

        const int number = ++m_receptions;
        // A reception cut short keeps what it received, under a name that an import of *.txt passes by.
        const bool whole = result.succeeded() || result.reason == Reason::ClosingPort;
        if (result.records > 0) {
            const NameFields fields {host.began, port, identity.serialOrPortName(), number};
            const QDir folder(options.into);
            const SaveOutcome saved = SaveNewRecordsFile(host, host.records(), [&](int collision) {
                return folder.filePath(expandTemplate(options.nameTemplate, fields, collision))
                    + (whole ? QString() : QStringLiteral(".partial"));
            });
            const QStringList saving = host.take();
            entry.file = QDir::toNativeSeparators(saved.written ? saved.file : saved.recoveryFile);
            entry.recovered = !saved.written && !saved.recoveryFile.isEmpty();
            entry.unholdableRecords = saved.unholdableRecords;
            if (!saved.written) {
                for (const QString& text : saving)
                    m_shared.output.problem(m_name, text);
                entry.reason = Reason::FileNotWritten;
                if (entry.outcome == Outcome::Succeeded)
                    entry.outcome = Outcome::Failed;
            }
            if (entry.file.isEmpty())
                m_shared.recordsLost = true;
            else
                entry.sha256 = sha256Of(entry.file);
        }
        entry.ended = QDateTime::currentDateTime();
        const QString ending = endingText(entry, !entry.recovered);
        if (entry.file.isEmpty() && entry.records > 0)
            m_shared.output.problem(m_name, ending);
        else
            m_shared.output.event(m_name, ending);
        QString journalError;
        if (m_shared.journal && !m_shared.journal->append(entry, journalError))
            m_shared.output.problem(m_name, QStringLiteral("the journal line was not written: %1").arg(journalError));
        // A port that failed is let go: it may be gone, and a fresh open tells.
        if (run.closedBy || result.reason == Reason::PortFailed)
            return std::nullopt;
    }
}

} // namespace ql::watch
