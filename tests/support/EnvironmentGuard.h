#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

namespace ql::test {

// Sets an environment variable for the lifetime of the guard, then puts back what was there.
class EnvironmentGuard {
public:
    EnvironmentGuard(const char* name, const QByteArray& value)
        : m_name(name)
    {
        if (qEnvironmentVariableIsSet(name))
            m_previous = qgetenv(name);
        qputenv(name, value);
    }
    ~EnvironmentGuard()
    {
        if (m_previous)
            qputenv(m_name, *m_previous);
        else
            qunsetenv(m_name);
    }
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

private:
    const char* m_name;
    std::optional<QByteArray> m_previous;
};

} // namespace ql::test
