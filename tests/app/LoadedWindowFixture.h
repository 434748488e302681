#pragma once

#include "app/frmMainWin.h"
#include "records/FileDialog.h"
#include "serial/FakeSerialControl.h"

#include <QByteArray>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <utility>

namespace ql::test {

// Answers the file dialogs with a prepared name; an empty answer is a cancel.
class AnsweringFileDialog final : public FileDialog {
public:
    QString answer;
    int opensShown = 0;
    int savesShown = 0;

    void setFileName(const QString& fileName) override { m_fileName = fileName; }
    QString FileName() const override { return m_fileName; }
    void setFilter(const QString&) override {}
    void ShowOpen() override
    {
        ++opensShown;
        m_fileName = answer;
    }
    void ShowSave() override
    {
        ++savesShown;
        m_fileName = answer;
    }

private:
    QString m_fileName;
};

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
class LoadedWindowTest : public ::testing::Test {
protected:
    void load(const QString& argumentText = {})
    {
        auto control = std::make_unique<FakeSerialControl>();
        serial = control.get();
        auto dialog = std::make_unique<AnsweringFileDialog>();
        comFile = dialog.get();
        window = std::make_unique<frmMainWin>(std::move(control), std::move(dialog));
        window->Form_Load(argumentText);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    void TearDown() override { window.reset(); }

    template <typename Control = QWidget>
    Control* control(const char* name) const
    {
        auto* found = window->findChild<Control*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << "no control " << name;
        return found;
    }

    void click(const char* name) const { QTest::mouseClick(control(name), Qt::LeftButton, {}, QPoint(5, 5)); }

    std::unique_ptr<frmMainWin> window;
    FakeSerialControl* serial = nullptr;
    AnsweringFileDialog* comFile = nullptr;
};

} // namespace ql::test
