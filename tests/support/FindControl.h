#pragma once

#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

namespace ql::test {

// A control of the window found by its design name; the test fails when there is none.
template <typename Control = QWidget>
Control* findControl(const QWidget& window, const char* name)
{
    auto* found = window.findChild<Control*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << "no control " << name;
    return found;
}

} // namespace ql::test
