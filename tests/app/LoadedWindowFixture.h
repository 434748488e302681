#pragma once

#include "MainWindowFixture.h"

#include "app/frmMainWin.h"
#include "support/EnvironmentGuard.h"
#include "support/FakeSerialControl.h"
#include "support/ScriptedFileDialog.h"

#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <utility>

namespace ql::test {

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
