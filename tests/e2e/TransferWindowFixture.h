#pragma once

#include "support/DeviceThread.h"

#include "app/frmMainWin.h"
#include "hhcsim/SimulatedDevice.h"
#include "support/FindControl.h"
#include "support/Files.h"
#include "support/RecordMakers.h"
#include "support/ScriptedFileDialog.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace ql::test {

// The main window shown offscreen with the system serial control, whose port 1 is
// the link of a simulated device serving in a thread.
class TransferWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Replaces the device; every device of a test publishes at the same link.
    DeviceThread& startDevice(hhcsim::DeviceOptions options);
    DeviceThread& device() { return *m_device; }

    // A data file in the test's folder.
    QString dataPath(const QString& name) const { return m_dir.filePath(name); }

    // Chooses the direction with its data file path, as the process selection does.
    void choosePcToHhc(const QString& path);
    void chooseHhcToPc(const QString& path);
    void setPortText(const QString& text);
    void setFileText(const QString& text);
    void setProcessText(const QString& text);

    // Clicks the browse button and chooses `path` in the file dialog; in the
    // PC->HHC direction that loads the file into the records list.
    void browse(const QString& path);
    // Clicks Start; the run goes on to its end inside the click.
    void start();
    // Clicks Abort, which only a running Start command shows.
    void abort();
    // Runs `action` once, from inside the running transfer's waits, as soon as
    // `due` holds; the bound keeps a reception that never gets there from hanging.
    void whileRunning(std::function<bool()> due, std::function<void()> action);

    QStringList events() const;
    QString status() const;
    QByteArrayList records() const;

    template <typename Control = QWidget>
    Control* control(const char* name) const
    {
        return findControl<Control>(*m_window, name);
    }

    frmMainWin& window() { return *m_window; }

    // The device's records for the last session in each direction.
    hhcsim::DeviceEvent lastSession();

private:
    QTemporaryDir m_dir;
    QString m_link;
    ScriptedFileDialog* m_comFile = nullptr;
    std::unique_ptr<DeviceThread> m_device;
    std::unique_ptr<frmMainWin> m_window;
};

// Wire and file helpers.
QString latin1(const QByteArray& bytes);
QByteArrayList toBytes(const QStringList& texts);
// Records "record 00001" and on, padded with dots to `length` characters.
QByteArrayList numberedRecords(int count, int length = 40);

} // namespace ql::test
