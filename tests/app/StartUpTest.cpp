#include "XvfbDisplay.h"

#include "app/QtFileDialog.h"
#include "app/SingleInstanceLock.h"
#include "app/mdlMainModule.h"
#include "support/WaitFor.h"

#include <QAbstractButton>
#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ql::test {
namespace {

TEST(SecondInstance, BoxHasTheCaptionTheTextAnOkButtonAndNoIcon)
{
    QMessageBox box;
    configureSecondInstanceBox(box);
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Quorvalink"));
    EXPECT_EQ(box.text(), QStringLiteral("\r\nAn instance of this application is already running.\r\n"
                                         "A second instance is not supported"));
    EXPECT_TRUE(box.text().startsWith(QStringLiteral("\r\n")));
    EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(box.buttons().size(), 1);
}

// A copy of the program on the virtual display, with its lock in `lockDir`.
std::unique_ptr<QProcess> startProgram(const XvfbDisplay& display, const QString& lockDir)
{
    auto program = std::make_unique<QProcess>();
    QProcessEnvironment environment = display.environment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), lockDir);
    program->setProcessEnvironment(environment);
    program->setStandardOutputFile(QProcess::nullDevice());
    program->setStandardErrorFile(QProcess::nullDevice());
    program->start(QStringLiteral(QUORVALINK_EXE), {});
    return program;
}

QStringList visibleWindowsOf(const XvfbDisplay& display, const QProcess& program)
{
    return display.xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                            QString::number(program.processId())});
}

TEST(SecondInstance, SecondCopyShowsTheBoxAndEndsWithoutAWindowWhileTheFirstRunsOn)
{
    XvfbDisplay display;
    ASSERT_TRUE(display.isRunning()) << "Xvfb could not be started";
    QTemporaryDir lockDir;
    ASSERT_TRUE(lockDir.isValid());

    auto first = startProgram(display, lockDir.path());
    ASSERT_TRUE(first->waitForStarted(5000));
    QStringList firstWindows;
    ASSERT_TRUE(waitFor(
        [&] {
            firstWindows = visibleWindowsOf(display, *first);
            return !firstWindows.isEmpty();
        },
        std::chrono::seconds(60)));

    auto second = startProgram(display, lockDir.path());
    ASSERT_TRUE(second->waitForStarted(5000));
    QStringList boxes;
    ASSERT_TRUE(waitFor(
        [&] {
            boxes = visibleWindowsOf(display, *second);
            return !boxes.isEmpty();
        },
        std::chrono::seconds(60)));
    // The box is the second copy's only window.
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(display.xdotool({QStringLiteral("getwindowname"), boxes.front()}),
              QStringList {QStringLiteral("Quorvalink")});

    // A box that is mapped may not take keys yet on a loaded machine: press again
    // until it ends, within a bound.
    ASSERT_TRUE(waitFor(
        [&] {
            display.xdotool({QStringLiteral("windowfocus"), boxes.front()});
            display.xdotool({QStringLiteral("key"), QStringLiteral("Return")});
            return second->waitForFinished(1000);
        },
        std::chrono::seconds(60)));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), kExitSecondInstance);

    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_EQ(visibleWindowsOf(display, *first), firstWindows);
    first->terminate();
    EXPECT_TRUE(first->waitForFinished(10000));
}

TEST(SingleInstanceGuard, ALockLeftByAKilledCopyDoesNotBlockTheNextStart)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = QDir(dir.path()).filePath(QStringLiteral("quorvalink.lock"));

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        SingleInstanceLock lock(path);
        const char taken = lock.tryAcquire() ? 'y' : 'n';
        if (write(ready[1], &taken, 1) != 1)
            _exit(2);
        for (;;)
            pause();
    }
    close(ready[1]);
    pollfd wait {ready[0], POLLIN, 0};
    ASSERT_EQ(poll(&wait, 1, 10000), 1);
    char taken = 0;
    ASSERT_EQ(read(ready[0], &taken, 1), 1);
    close(ready[0]);
    EXPECT_EQ(taken, 'y');

    EXPECT_FALSE(SingleInstanceLock(path).tryAcquire()) << "a living copy must block";

    kill(holder, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(holder, &status, 0), holder);
    ASSERT_TRUE(QFile::exists(path)) << "the killed copy should have left its lock behind";

    SingleInstanceLock next(path);
    EXPECT_TRUE(next.tryAcquire());
}

struct FilterCase {
    const char* commonDialog;
    const char* qt;
};

void PrintTo(const FilterCase& c, std::ostream* out)
{
    *out << '"' << c.commonDialog << '"';
}

class FileDialogFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FileDialogFilter, BecomesQtNameFilters)
{
    EXPECT_EQ(qtNameFilters(QString::fromLatin1(GetParam().commonDialog)), QString::fromLatin1(GetParam().qt));
}

INSTANTIATE_TEST_SUITE_P(
    Filters, FileDialogFilter,
    ::testing::Values(FilterCase {"Text files(*.txt)|*.txt", "Text files(*.txt)"},
                      FilterCase {"Text files|*.txt", "Text files (*.txt)"},
                      FilterCase {"Data|*.txt;*.dat|All files|*.*", "Data (*.txt *.dat);;All files (*.*)"},
                      FilterCase {"Text files(*.txt)|*.csv", "Text files(*.txt) (*.csv)"},
                      FilterCase {"", ""}, FilterCase {"Lonely description", "Lonely description"}));

} // namespace
} // namespace ql::test
