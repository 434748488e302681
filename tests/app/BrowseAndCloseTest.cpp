#include "LoadedWindowFixture.h"
#include "WindowContents.h"

#include "eventlog/Messages.h"
#include "records/RecordList.h"
#include "serial/PortMap.h"
#include "serial/SystemSerialControl.h"
#include "support/Files.h"
#include "support/PtyPair.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace ql::test {
namespace {

using Op = FakeSerialControl::Op;

class Browse : public LoadedWindowTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        load();
    }

    QString path(const char* name) const { return QDir(dir.path()).filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
};

TEST_F(Browse, PcToHhcLoadsTheChosenFileIntoTheRecordsList)
{
    const QString file = path("Send Data.txt");
    writeFile(file, "one\r\ntwo\r\n\r\nfour");
    comFile->answer = file;

    click("cmdBrowse");

    EXPECT_EQ(comFile->opensShown(), 1);
    EXPECT_EQ(comFile->savesShown(), 0);
    EXPECT_EQ(control<QLineEdit>("txtFile")->text(), file);
    EXPECT_EQ(window->transferState().strPc2HhcFile, file);
    EXPECT_EQ(rows(*control<QListView>("lstRecords")), (QStringList {"one", "two", "", "four"}));
    EXPECT_EQ(rows(*control<QListView>("lstEvents")), (QStringList {msg::kOpeningFile, msg::foundRecords(4)}));
}

TEST_F(Browse, HhcToPcOnlyChoosesThePath)
{
    window->setProcessIndex(1);
    const QString file = path("received.txt");
    comFile->answer = file;

    click("cmdBrowse");

    EXPECT_EQ(comFile->savesShown(), 1);
    EXPECT_EQ(comFile->opensShown(), 0);
    EXPECT_EQ(control<QLineEdit>("txtFile")->text(), file);
    EXPECT_EQ(window->transferState().strHhc2PcFile, file);
    EXPECT_TRUE(rows(*control<QListView>("lstRecords")).isEmpty());
    EXPECT_TRUE(rows(*control<QListView>("lstEvents")).isEmpty());
    EXPECT_FALSE(QFile::exists(file));
}

class Close : public LoadedWindowTest {};

TEST_F(Close, ClosingTheWindowClosesAnOpenPort)
{
    load();
    serial->portOpen = true;

    click("PicClose");

    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(serial->portOpen);
}

TEST_F(Close, ClosingTheWindowReleasesTheDeviceForOtherPrograms)
{
    PtyPair pty;
    QProcessEnvironment environment;
    environment.insert(PortMap::variableName(1), pty.slavePath());
    auto control = std::make_unique<SystemSerialControl>(PortMap::fromRule(environment, {}));
    SystemSerialControl& serialPort = *control;
    window = std::make_unique<frmMainWin>(std::move(control), std::make_unique<ScriptedFileDialog>());
    window->Form_Load();
    window->show();
    serialPort.setCommPort(1);
    serialPort.setPortOpen(true);

    click("PicClose");

    EXPECT_FALSE(serialPort.PortOpen());
    const int fd = open(pty.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    close(fd);
}

TEST_F(Close, ClosingDuringARunAbortsItAndClosesTheWindowOnceTheRunHasEnded)
{
    load(QStringLiteral("records.txt"));
    window->records().assign({QStringLiteral("R")});
    bool accepted = true;
    bool visibleAfterClose = false;
    bool portOpenAfterClose = true;
    serial->onCall = [&, asked = false](const FakeSerialControl::Call& call) mutable {
        if (call.op != Op::Input || asked)
            return;
        asked = true;
        // As the window manager would, handled in the run's next yield to the window.
        QTimer::singleShot(0, window.get(), [&] {
            accepted = window->close();
            visibleAfterClose = window->isVisible();
            portOpenAfterClose = serial->portOpen;
        });
    };

    click("PicStart");

    EXPECT_FALSE(accepted);
    EXPECT_TRUE(visibleAfterClose) << "the window must outlive the run";
    EXPECT_FALSE(portOpenAfterClose);
    EXPECT_FALSE(window->isRunning());
    EXPECT_FALSE(window->isVisible()) << "closed once the run had ended";
    const QStringList log = rows(*control<QListView>("lstEvents"));
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log.at(log.size() - 2), msg::kTransferFailed);
}

} // namespace
} // namespace ql::test
