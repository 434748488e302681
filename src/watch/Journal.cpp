#include "watch/Journal.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdlib>

namespace ql::watch {

QString isoTime(const QDateTime& time)
{
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
        + QStringLiteral("%1%2:%3")
              .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
              .arg(minutes / 60, 2, 10, QLatin1Char('0'))
              .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString outcomeWord(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Succeeded: return QStringLiteral("succeeded");
    case Outcome::Failed: return QStringLiteral("failed");
    case Outcome::Aborted: return QStringLiteral("aborted");
    case Outcome::Refused: return QStringLiteral("refused");
    }
    return QStringLiteral("failed");
}

QString reasonWord(Reason reason)
{
    switch (reason) {
    case Reason::None: return QStringLiteral("none");
    case Reason::PortSelection: return QStringLiteral("port-selection");
    case Reason::FileName: return QStringLiteral("file-name");
    case Reason::ProcessSelection: return QStringLiteral("process-selection");
    case Reason::FileUnusable: return QStringLiteral("file-unusable");
    case Reason::RecordsUnsendable: return QStringLiteral("records-unsendable");
    case Reason::SettingPort: return QStringLiteral("setting-port");
    case Reason::SettingIo: return QStringLiteral("setting-io");
    case Reason::SettingBaud: return QStringLiteral("setting-baud");
    case Reason::SettingInputMode: return QStringLiteral("setting-input-mode");
    case Reason::OpeningPort: return QStringLiteral("opening-port");
    case Reason::NoResponse: return QStringLiteral("no-response");
    case Reason::PortFailed: return QStringLiteral("port-failed");
    case Reason::Overflow: return QStringLiteral("overflow");
    case Reason::ClosingPort: return QStringLiteral("closing-port");
    case Reason::FileNotWritten: return QStringLiteral("file-not-written");
    }
    return QStringLiteral("unknown");
}

QByteArray journalLine(const JournalEntry& entry)
{
    const auto textOrNull = [](const QString& text) { return text.isEmpty() ? QJsonValue() : QJsonValue(text); };
    const QJsonObject line {
        {QStringLiteral("started"), isoTime(entry.started)},
        {QStringLiteral("ended"), isoTime(entry.ended)},
        {QStringLiteral("port"), entry.port},
        {QStringLiteral("device"), entry.device},
        {QStringLiteral("identity"), textOrNull(entry.identity)},
        {QStringLiteral("outcome"), outcomeWord(entry.outcome)},
        {QStringLiteral("reason"), reasonWord(entry.reason)},
        {QStringLiteral("records"), entry.records},
        {QStringLiteral("bytes"), entry.bytes},
        {QStringLiteral("file"), textOrNull(entry.file)},
        {QStringLiteral("recovered"), entry.recovered},
        {QStringLiteral("sha256"), textOrNull(QString::fromLatin1(entry.sha256))},
        {QStringLiteral("warnings"),
         QJsonObject {{QStringLiteral("unholdableRecords"), entry.unholdableRecords},
                      {QStringLiteral("droppedCharacters"), entry.droppedCharacters}}},
    };
    return QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
}

bool Journal::open(const QString& path, QString& error)
{
    const std::lock_guard lock(m_mutex);
    return openLocked(path, error);
}

bool Journal::openLocked(const QString& path, QString& error)
{
    m_file.setFileName(path);
    // Unbuffered, so that each line goes to the system in one write; appending,
    // so that every write lands at the end, whoever else appends.
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return true;
    error = m_file.errorString();
    return false;
}

bool Journal::reopen(QString& error)
{
    const std::lock_guard lock(m_mutex);
    m_file.close();
    return openLocked(m_file.fileName(), error);
}

bool Journal::append(const JournalEntry& entry, QString& error)
{
    const QByteArray line = journalLine(entry);
    const std::lock_guard lock(m_mutex);
    if (!m_file.isOpen()) {
        error = QStringLiteral("it could not be opened again");
        return false;
    }
    if (m_file.write(line) == line.size() && m_file.flush())
        return true;
    error = m_file.errorString();
    return false;
}

} // namespace ql::watch
