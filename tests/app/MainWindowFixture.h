#pragma once

#include "app/frmHelpAbout.h"
#include "app/frmMainWin.h"
#include "support/FindControl.h"
#include "support/WaitFor.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
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

    // Whether `action` opens the about box as the modal window; the box is closed again.
    bool opensAboutBox(const std::function<void()>& action) const
    {
        bool shown = false;
        QTimer::singleShot(0, window.get(), [&shown] {
            QWidget* modal = QApplication::activeModalWidget();
            shown = qobject_cast<frmHelpAbout*>(modal) != nullptr;
            if (modal)
                modal->close();
        });
        action();
        return shown;
    }

    // Runs what the window has queued behind the current event, such as a Tab.
    static void settle() { QCoreApplication::processEvents(); }

    static QWidget* focused() { return QApplication::focusWidget(); }

    std::unique_ptr<frmMainWin> window;
};

} // namespace ql::test
