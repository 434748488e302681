#pragma once

#include "app/frmMainWin.h"
#include "support/FindControl.h"
#include "support/WaitFor.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace ql::test {

// A main window shown and active on the offscreen platform, its controls found by
// their design names.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { showWindow(std::make_unique<frmMainWin>()); }

    void showWindow(std::unique_ptr<frmMainWin> shown)
    {
        window = std::move(shown);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    void TearDown() override { window.reset(); }

    template <typename Control = QWidget>
    Control* control(const char* name) const
    {
        return findControl<Control>(*window, name);
    }

    // Runs what the window has queued behind the current event, such as a Tab.
    static void settle() { QCoreApplication::processEvents(); }

    static QWidget* focused() { return QApplication::focusWidget(); }

    std::unique_ptr<frmMainWin> window;
};

} // namespace ql::test
