#include "LoadedWindowFixture.h"
#include "XvfbDisplay.h"

#include "app/QtFileDialog.h"
#include "app/SingleInstanceLock.h"
#include "app/mdlMainModule.h"
#include "support/Files.h"
#include "support/HeldByAnotherProcess.h"
#include "support/WaitFor.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

    HeldByAnotherProcess holder([&path] {
        // Kept until the process is killed.
        static SingleInstanceLock lock(path);
        return lock.tryAcquire() == SingleInstanceLock::Outcome::Acquired;
    });
    ASSERT_TRUE(holder.holding());

    EXPECT_EQ(SingleInstanceLock(path).tryAcquire(), SingleInstanceLock::Outcome::HeldElsewhere)
        << "a living copy must block";

    ASSERT_TRUE(holder.kill());
    ASSERT_TRUE(QFile::exists(path)) << "the killed copy should have left its lock behind";

    SingleInstanceLock next(path);
    EXPECT_EQ(next.tryAcquire(), SingleInstanceLock::Outcome::Acquired);
}

using Outcome = SingleInstanceLock::Outcome;

struct LockCase {
    const char* name;
    // Prepares the folder `dir` and returns the lock's path in it.
    std::function<QString(const QDir& dir)> prepare;
    Outcome outcome;
};

void PrintTo(const LockCase& c, std::ostream* out)
{
    *out << c.name;
}

class LockPlace : public ::testing::TestWithParam<LockCase> {};

// Only a living holder blocks; a lock that cannot be made lets the program start.
TEST_P(LockPlace, IsTakenOverOrReportedNeverStranding)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = GetParam().prepare(QDir(dir.path()));

    SingleInstanceLock lock(path);
    EXPECT_EQ(lock.tryAcquire(), GetParam().outcome);
    if (GetParam().outcome == Outcome::Acquired) {
        EXPECT_TRUE(lock.failure().isEmpty());
        EXPECT_EQ(SingleInstanceLock(path).tryAcquire(), Outcome::HeldElsewhere);
    } else {
        EXPECT_TRUE(lock.failure().startsWith(QFileInfo(path).path())) << lock.failure().toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("target")))) << "a symbolic link was followed";
}

INSTANTIATE_TEST_SUITE_P(
    Lock, LockPlace,
    ::testing::Values(
        LockCase {"NoFileYet", [](const QDir& dir) { return dir.filePath(QStringLiteral("q.lock")); },
                  Outcome::Acquired},
        LockCase {"EmptyFile",
                  [](const QDir& dir) {
                      writeFile(dir.filePath(QStringLiteral("q.lock")), {});
                      return dir.filePath(QStringLiteral("q.lock"));
                  },
                  Outcome::Acquired},
        LockCase {"GarbageFile",
                  [](const QDir& dir) {
                      writeFile(dir.filePath(QStringLiteral("q.lock")), QByteArray("\xff\x00garbage\n", 10));
                      return dir.filePath(QStringLiteral("q.lock"));
                  },
                  Outcome::Acquired},
        LockCase {"OwnerGone",
                  [](const QDir& dir) {
                      writeFile(dir.filePath(QStringLiteral("q.lock")), "999999\nquorvalink\nhost\n");
                      return dir.filePath(QStringLiteral("q.lock"));
                  },
                  Outcome::Acquired},
        LockCase {"UnreadableFile",
                  [](const QDir& dir) {
                      writeFile(dir.filePath(QStringLiteral("q.lock")), {});
                      chmod(QFile::encodeName(dir.filePath(QStringLiteral("q.lock"))).constData(), 0);
                      return dir.filePath(QStringLiteral("q.lock"));
                  },
                  Outcome::Acquired},
        LockCase {"FolderMadeWhenMissing",
                  [](const QDir& dir) { return dir.filePath(QStringLiteral("new/q.lock")); }, Outcome::Acquired},
        LockCase {"SymbolicLink",
                  [](const QDir& dir) {
                      QFile::link(dir.filePath(QStringLiteral("target")), dir.filePath(QStringLiteral("q.lock")));
                      return dir.filePath(QStringLiteral("q.lock"));
                  },
                  Outcome::Unavailable},
        // A folder that cannot be made, whoever the user is.
        LockCase {"FolderUnderAFile",
                  [](const QDir& dir) {
                      writeFile(dir.filePath(QStringLiteral("file")), "x");
                      return dir.filePath(QStringLiteral("file/q.lock"));
                  },
                  Outcome::Unavailable},
        LockCase {"FolderOthersCanWrite",
                  [](const QDir& dir) {
                      dir.mkdir(QStringLiteral("shared"));
                      chmod(QFile::encodeName(dir.filePath(QStringLiteral("shared"))).constData(), 0777);
                      return dir.filePath(QStringLiteral("shared/q.lock"));
                  },
                  Outcome::Unavailable}),
    [](const ::testing::TestParamInfo<LockCase>& param) { return std::string(param.param.name); });

struct RuntimeDirCase {
    const char* name;
    // The folder given as XDG_RUNTIME_DIR, made from a private temporary folder.
    std::function<QByteArray(const QTemporaryDir& dir)> runtimeDir;
    bool used;
};

class DefaultLockPlace : public ::testing::TestWithParam<RuntimeDirCase> {};

// The place depends on the user's id; the runtime folder counts only when private.
TEST_P(DefaultLockPlace, IsTheRuntimeFolderOnlyWhenItIsPrivate)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray runtimeDir = GetParam().runtimeDir(dir);
    const EnvironmentGuard guard("XDG_RUNTIME_DIR", runtimeDir);
    const QString fallback = QStringLiteral("/tmp/quorvalink-%1/quorvalink.lock").arg(getuid());
    EXPECT_EQ(SingleInstanceLock::defaultPath(),
              GetParam().used ? QFile::decodeName(runtimeDir) + QStringLiteral("/quorvalink.lock") : fallback);
}

INSTANTIATE_TEST_SUITE_P(
    RuntimeDir, DefaultLockPlace,
    ::testing::Values(
        RuntimeDirCase {"Private", [](const QTemporaryDir& dir) { return QFile::encodeName(dir.path()); }, true},
        RuntimeDirCase {"Empty", [](const QTemporaryDir&) { return QByteArray(); }, false},
        RuntimeDirCase {"Relative", [](const QTemporaryDir&) { return QByteArray("run/user"); }, false},
        RuntimeDirCase {"Missing",
                        [](const QTemporaryDir& dir) { return QFile::encodeName(dir.filePath(QStringLiteral("none"))); },
                        false},
        RuntimeDirCase {"SharedTemporaryFolder", [](const QTemporaryDir&) { return QByteArray("/tmp"); }, false},
        RuntimeDirCase {"OpenToOthers",
                        [](const QTemporaryDir& dir) {
                            chmod(QFile::encodeName(dir.path()).constData(), 0755);
                            return QFile::encodeName(dir.path());
                        },
                        false}),
    [](const ::testing::TestParamInfo<RuntimeDirCase>& param) { return std::string(param.param.name); });

struct InformationCase {
    const char* option;
    std::vector<const char*> expected;
};

class InformationOption : public ::testing::TestWithParam<InformationCase> {};

// No display to open and no lock to take: the program answers and ends.
TEST_P(InformationOption, AnswersWithoutADisplayOrTheLock)
{
    QTemporaryDir runtimeDir;
    ASSERT_TRUE(runtimeDir.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(QUORVALINK_EXE), {QString::fromLatin1(GetParam().option)});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    for (const char* part : GetParam().expected)
        EXPECT_TRUE(out.contains(QString::fromUtf8(part))) << part << " not in:\n" << out.toStdString();
    EXPECT_TRUE(QDir(runtimeDir.path()).isEmpty()) << "the lock was touched";
}

INSTANTIATE_TEST_SUITE_P(
    Options, InformationOption,
    ::testing::Values(InformationCase {"--version", {"Quorvalink 1.0.188.1\n"}},
                      InformationCase {"--help",
                                       {"[PC->HHC data file][#HHC->PC data file]", "split at \"#\"",
                                        "QUORVALINK_COM<n>", "1 to 99", "Exit status", "man quorvalink",
                                        "README"}}));

TEST(InformationAnswer, OnlyTheExactOptionAlone)
{
    EXPECT_EQ(informationAnswer({"quorvalink", "--version"}), QStringLiteral("Quorvalink 1.0.188.1\n"));
    for (const QByteArrayList& other : {QByteArrayList {"quorvalink"}, QByteArrayList {"quorvalink", "--version", "x"},
                                        QByteArrayList {"quorvalink", "--help#recv.txt"},
                                        QByteArrayList {"quorvalink", "-h"}})
        EXPECT_EQ(informationAnswer(other), std::nullopt) << other.join(' ').toStdString();
}

// A signal set of the process from /proc, such as "SigCgt" (caught) or "SigIgn".
quint64 signalSet(qint64 pid, const char* field)
{
    const QByteArray prefix = QByteArray(field) + ':';
    const QByteArray status = readFile(QStringLiteral("/proc/%1/status").arg(pid)).value_or(QByteArray());
    for (const QByteArray& line : status.split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().toULongLong(nullptr, 16);
    return 0;
}

constexpr quint64 bit(int signal)
{
    return quint64 {1} << (signal - 1);
}

class ProgramSignal : public ::testing::TestWithParam<int> {};

// Logout, shutdown or Ctrl+C close the window, and the program ends normally; a
// file-size limit does not end it.
TEST_P(ProgramSignal, ClosesTheWindowAndEndsNormally)
{
    QTemporaryDir runtimeDir;
    ASSERT_TRUE(runtimeDir.isValid());
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(QUORVALINK_EXE), {});
    ASSERT_TRUE(program.waitForStarted(10000));
    const quint64 termination = bit(SIGTERM) | bit(SIGINT) | bit(SIGHUP);
    ASSERT_TRUE(waitFor([&] { return (signalSet(program.processId(), "SigCgt") & termination) == termination; },
                        std::chrono::seconds(30)));
    EXPECT_TRUE(signalSet(program.processId(), "SigIgn") & bit(SIGXFSZ));

    kill(static_cast<pid_t>(program.processId()), GetParam());
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(Signals, ProgramSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& param) {
                             return std::string(sigabbrev_np(param.param));
                         });

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
