#include "CliHost.h"

#include "eventlog/Messages.h"
#include "records/RecordFormat.h"
#include "transfer/TransferState.h"

#include <QDateTime>

namespace ql::cli {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(200);

} // namespace

CliHost::CliHost(QString processText, QString file, LineControls controls, TransferPacing& pacing, Output output)
    : m_process(std::move(processText)),
      m_file(std::move(file)),
      m_controls(std::move(controls)),
      m_pacing(pacing),
      m_output(output)
{
}

void CliHost::postMessage(const QString& text)
{
    m_messages.append(text);
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz ")) + text;
    m_lines.append(line);
    if (!m_output.quiet) {
        clearProgress();
        printLine(m_output.events, line);
    }
    // The records follow the device's answer in one direction and ours in the other.
    if (text == msg::kGotResponse || text == msg::kSentResponse) {
        m_moving = true;
        m_dataStart = Clock::now();
        m_lastRecord = m_dataStart;
    }
}

QString CliHost::lastMessage() const
{
    return m_messages.isEmpty() ? QString() : m_messages.last();
}

void CliHost::showStatus(const QString&)
{
    if (!m_moving || m_recordsDone >= m_records.count())
        return;
    m_bytes += m_records.at(m_recordsDone).size() + 1;
    ++m_recordsDone;
    m_lastRecord = Clock::now();
    drawProgress();
}

double CliHost::dataSeconds() const
{
    return std::chrono::duration<double>(m_lastRecord - m_dataStart).count();
}

int CliHost::unholdableRecords() const
{
    return m_process == kHhcToPc ? findUnholdableRecords(m_records.records()).count : 0;
}

QString CliHost::summary() const
{
    const double seconds = dataSeconds();
    const double perSecond = seconds > 0 ? static_cast<double>(m_bytes) / seconds : 0.0;
    QString text = QStringLiteral("Summary: %1 records, %2 bytes, %3 seconds, %4 characters per second")
                       .arg(m_recordsDone)
                       .arg(m_bytes)
                       .arg(seconds, 0, 'f', 3)
                       .arg(perSecond, 0, 'f', 0);
    if (const int unholdable = unholdableRecords(); unholdable > 0)
        text += QStringLiteral(", %1 records that the data file cannot give back as they came").arg(unholdable);
    return text;
}

void CliHost::printHeldBack(std::FILE* to) const
{
    for (const QString& line : m_lines)
        printLine(to, line);
}

void CliHost::printLine(std::FILE* to, const QString& line) const
{
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), to);
    // A script or a log reading the other end sees each event when it happens.
    std::fflush(to);
}

void CliHost::drawProgress()
{
    if (!m_output.progress || m_output.quiet)
        return;
    const auto now = Clock::now();
    if (m_progressShown && now - m_lastDrawn < kProgressInterval)
        return;
    m_lastDrawn = now;
    const double seconds = std::chrono::duration<double>(now - m_dataStart).count();
    const QString total = m_process == kPcToHhc ? QStringLiteral("/%1").arg(m_records.count()) : QString();
    const QString text = QStringLiteral("\r%1%2 records  %3 chars/s  %4 s\x1b[K")
                             .arg(m_recordsDone)
                             .arg(total)
                             .arg(seconds > 0 ? static_cast<double>(m_bytes) / seconds : 0.0, 0, 'f', 0)
                             .arg(seconds, 0, 'f', 1);
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), m_output.progress);
    std::fflush(m_output.progress);
    m_progressShown = true;
}

void CliHost::clearProgress()
{
    if (!m_progressShown)
        return;
    std::fputs("\r\x1b[K", m_output.progress);
    std::fflush(m_output.progress);
    m_progressShown = false;
}

} // namespace ql::cli
