#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

namespace ql::test {

// A virtual X display of the test's own, on a free display number, stopped with
// the object. Programs started through it see it as their DISPLAY.
class XvfbDisplay {
public:
    XvfbDisplay();
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    bool isRunning() const;
    const QString& name() const { return m_name; }

    // An environment for programs on this display.
    QProcessEnvironment environment() const;

    // Runs xdotool with the arguments and returns its output lines.
    QStringList xdotool(const QStringList& arguments) const;

private:
    bool answers() const;

    std::unique_ptr<QProcess> m_server;
    QString m_name;
};

} // namespace ql::test
