#pragma once

#include <QProcess>
#include <QStringList>

#include <chrono>
#include <functional>
#include <signal.h>

namespace ql::test {

inline constexpr auto kRunBound = std::chrono::seconds(20);

// The program run as a script would run it, its output gathered as it comes.
class CliRun {
public:
    // `prepare` sets up the process before it starts: its environment, limits, program.
    explicit CliRun(const QStringList& arguments, const std::function<void(QProcess&)>& prepare = {})
    {
        m_process.setProgram(QStringLiteral(QL_CLI_EXE));
        m_process.setArguments(arguments);
        if (prepare)
            prepare(m_process);
        m_process.start();
        m_process.waitForStarted();
    }
    ~CliRun()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    CliRun(const CliRun&) = delete;
    CliRun& operator=(const CliRun&) = delete;

    // Waits until standard output holds the text or the program ended.
    bool waitForOutput(const QString& text)
    {
        const auto deadline = std::chrono::steady_clock::now() + kRunBound;
        while (!m_out.contains(text.toLocal8Bit()) && std::chrono::steady_clock::now() < deadline
               && m_process.state() == QProcess::Running) {
            m_process.waitForReadyRead(50);
            m_out += m_process.readAllStandardOutput();
        }
        return m_out.contains(text.toLocal8Bit());
    }
    int finish()
    {
        const bool ended = m_process.waitForFinished(static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(kRunBound).count()));
        m_out += m_process.readAllStandardOutput();
        m_err += m_process.readAllStandardError();
        if (!ended || m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_process.exitCode();
    }
    void signal(int number) { ::kill(static_cast<pid_t>(m_process.processId()), number); }

    QString out() const { return QString::fromLocal8Bit(m_out); }
    QString err() const { return QString::fromLocal8Bit(m_err); }

private:
    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
};

} // namespace ql::test
