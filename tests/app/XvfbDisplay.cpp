#include "XvfbDisplay.h"

#include "support/WaitFor.h"

#include <QFile>

namespace ql::test {

namespace {

bool displayInUse(int number)
{
    return QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number))
        || QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number));
}

} // namespace

XvfbDisplay::XvfbDisplay()
{
    // Another program may take a number between the check and the start: the
    // server then ends at once, and the next number is tried.
    for (int number = 140; number < 240 && !m_server; ++number) {
        if (displayInUse(number))
            continue;
        auto server = std::make_unique<QProcess>();
        server->setStandardOutputFile(QProcess::nullDevice());
        server->setStandardErrorFile(QProcess::nullDevice());
        const QString name = QStringLiteral(":%1").arg(number);
        // Without -noreset the server resets whenever its last client leaves, such
        // as the readiness check below, and a program connecting meanwhile fails.
        server->start(QStringLiteral("Xvfb"),
                      {name, QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1024x768x24"),
                       QStringLiteral("-noreset"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!server->waitForStarted(5000))
            return;
        m_name = name;
        m_server = std::move(server);
        const bool up = waitFor([this] { return m_server->state() != QProcess::Running || answers(); });
        if (m_server->state() != QProcess::Running || !up) {
            m_server.reset();
            m_name.clear();
        }
    }
}

XvfbDisplay::~XvfbDisplay()
{
    if (!m_server)
        return;
    m_server->terminate();
    if (!m_server->waitForFinished(5000))
        m_server->kill();
    m_server->waitForFinished(5000);
}

bool XvfbDisplay::isRunning() const
{
    return m_server && m_server->state() == QProcess::Running;
}

QProcessEnvironment XvfbDisplay::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_name);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return environment;
}

bool XvfbDisplay::answers() const
{
    QProcess probe;
    probe.setProcessEnvironment(environment());
    probe.start(QStringLiteral("xdpyinfo"), {});
    return probe.waitForFinished(5000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
}

QStringList XvfbDisplay::xdotool(const QStringList& arguments) const
{
    QProcess tool;
    tool.setProcessEnvironment(environment());
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(10000))
        return {};
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace ql::test
