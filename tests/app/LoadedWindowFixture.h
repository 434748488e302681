#pragma once

#include "MainWindowFixture.h"

#include "app/frmMainWin.h"
#include "support/FakeSerialControl.h"
#include "support/ScriptedFileDialog.h"

#include <QByteArray>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <utility>

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

// A main window on a scripted serial control and an answering file dialog, loaded
// with an argument text, shown and active on the offscreen platform.
class LoadedWindowTest : public MainWindowTest {
protected:
    // Each test loads the window with its own argument text.
    void SetUp() override {}

    void load(const QString& argumentText = {})
    {
        auto control = std::make_unique<FakeSerialControl>();
        serial = control.get();
        auto dialog = std::make_unique<ScriptedFileDialog>();
        comFile = dialog.get();
        auto loaded = std::make_unique<frmMainWin>(std::move(control), std::move(dialog));
        loaded->Form_Load(argumentText);
        showWindow(std::move(loaded));
    }

    void click(const char* name) const { QTest::mouseClick(control(name), Qt::LeftButton, {}, QPoint(5, 5)); }

    FakeSerialControl* serial = nullptr;
    ScriptedFileDialog* comFile = nullptr;
};

} // namespace ql::test
