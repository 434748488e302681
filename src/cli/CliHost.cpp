#include "CliHost.h"

#include <QDateTime>

namespace ql::cli {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(200);
// Less time than this says more of the clock than of the line: no rate is given.
constexpr auto kShortestRatedTime = std::chrono::milliseconds(100);

double seconds(std::chrono::steady_clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

} // namespace

CliHost::CliHost(Output output)
    : m_output(output)
{
}

void CliHost::postMessage(const QString& text)
{
    m_lastMessage = text;
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz ")) + text;
    m_lines.append(line);
    if (!m_output.quiet) {
        clearProgress();
        printLine(m_output.events, line);
    }
}

QString CliHost::lastMessage() const
{
    return m_lastMessage;
}

QString CliHost::summary(const TransferResult& result)
{
    const auto span = result.lastRecord - result.dataStarted;
    const double time = seconds(span);
    QString text = QStringLiteral("Summary: %1 record%2, %3 bytes, %4 seconds")
                       .arg(result.records)
                       .arg(result.records == 1 ? "" : "s")
                       .arg(result.bytes)
                       .arg(time, 0, 'f', 3);
    if (span >= kShortestRatedTime)
        text += QStringLiteral(", %1 characters per second").arg(static_cast<double>(result.bytes) / time, 0, 'f', 0);
    if (result.receiving.unholdableRecords > 0)
        text += result.receiving.unholdableRecords == 1
            ? QStringLiteral(", 1 record that the data file cannot give back as it came")
            : QStringLiteral(", %1 records that the data file cannot give back as they came")
                  .arg(result.receiving.unholdableRecords);
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

void CliHost::recordMoved(const TransferResult& soFar)
{
    if (!m_output.progress || m_output.quiet)
        return;
    const auto now = Clock::now();
    if (m_progressShown && now - m_lastDrawn < kProgressInterval)
        return;
    m_lastDrawn = now;
    const double time = seconds(now - soFar.dataStarted);
    // A send knows its total from the start; a reception learns it at the end.
    const QString total
        = soFar.direction == Direction::PcToHhc ? QStringLiteral("/%1").arg(m_records.count()) : QString();
    const QString text = QStringLiteral("\r%1%2 records  %3 chars/s  %4 s\x1b[K")
                             .arg(soFar.records)
                             .arg(total)
                             .arg(time > 0 ? static_cast<double>(soFar.bytes) / time : 0.0, 0, 'f', 0)
                             .arg(time, 0, 'f', 1);
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
