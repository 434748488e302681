#include "watch/WatchOutput.h"

#include <QDateTime>

#include <cstdio>

namespace ql::watch {

void WatchOutput::event(const QString& port, const QString& text)
{
    if (!m_quiet)
        print(false, port, text);
}

void WatchOutput::problem(const QString& port, const QString& text)
{
    print(m_quiet, port, text);
}

void WatchOutput::print(bool toError, const QString& port, const QString& text)
{
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz ")) + port
        + QStringLiteral(": ") + text + QLatin1Char('\n');
    const QByteArray bytes = line.toLocal8Bit();
    std::FILE* to = toError ? stderr : stdout;
    const std::lock_guard lock(m_mutex);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), to);
    // A log reading the other end sees each event when it happens.
    std::fflush(to);
}

} // namespace ql::watch
