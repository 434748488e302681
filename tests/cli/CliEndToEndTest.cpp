#include "CliRun.h"
#include "support/DeviceThread.h"

#include "eventlog/Messages.h"
#include "hhcsim/DataFile.h"
#include "support/Files.h"
#include "support/RecordMakers.h"
#include "support/WaitFor.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>

namespace ql::test {
namespace {

using hhcsim::DeviceEvent;
using hhcsim::Mode;

QStringList portOf(const DeviceThread& device)
{
    return {QStringLiteral("--device"), device.link()};
}

struct ByteCase {
    const char* name;
    QByteArrayList records;
};

class CliTransfers : public testing::TestWithParam<ByteCase> {};

TEST_P(CliTransfers, SendDeliversEveryRecordByteForByte)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("out.txt"));
    writeFile(file, hhcsim::formatDataFile(GetParam().records));
    DeviceThread device(deviceOptions(Mode::Receive));

    CliRun run(QStringList {QStringLiteral("send")} + portOf(device) + QStringList {file});
    ASSERT_EQ(run.finish(), 0) << run.out().toStdString() << run.err().toStdString();
    ASSERT_TRUE(device.waitForEvents(DeviceEvent::Kind::RecordsReceived));
    const DeviceEvent received = device.eventsOf(DeviceEvent::Kind::RecordsReceived).front();
    EXPECT_TRUE(received.complete);
    EXPECT_EQ(received.records, GetParam().records);
    EXPECT_TRUE(run.out().contains(msg::kTransferSucceeded));
    const qsizetype count = GetParam().records.size();
    EXPECT_TRUE(run.out().contains(QStringLiteral("Summary: %1 record%2,").arg(count).arg(count == 1 ? "" : "s")));
}

TEST_P(CliTransfers, ReceiveWritesEveryRecordByteForByte)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("in.txt"));
    DeviceThread device(deviceOptions(Mode::Send, GetParam().records));

    CliRun run(QStringList {QStringLiteral("receive")} + portOf(device) + QStringList {file});
    ASSERT_EQ(run.finish(), 0) << run.out().toStdString() << run.err().toStdString();
    EXPECT_EQ(readFile(file), hhcsim::formatDataFile(GetParam().records));
    EXPECT_TRUE(run.out().contains(msg::kReceptionCompleted));
}

INSTANTIATE_TEST_SUITE_P(
    Records, CliTransfers,
    testing::Values(ByteCase {"One", {"single"}},
                    ByteCase {"EmptyBetween", {"first", "", "third"}},
                    ByteCase {"EveryByteButProtocolAndLineEnds",
                              [] {
                                  QByteArray all;
                                  for (int c = 1; c < 256; ++c) {
                                      if (c != '^' && c != '@' && c != '$' && c != '\r' && c != '\n')
                                          all += static_cast<char>(c);
                                  }
                                  return QByteArrayList {all, "tail"};
                              }()},
                    ByteCase {"Many", makeRecords(2000, 40)}),
    [](const testing::TestParamInfo<ByteCase>& param) { return std::string(param.param.name); });

TEST(CliRun, SilentDeviceFailsAfterTheTimeout)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("out.txt"));
    writeFile(file, "rec\r\n");
    hhcsim::DeviceOptions options = deviceOptions(Mode::Receive);
    options.faults.noAnswer = true;
    DeviceThread device(options);

    const auto start = std::chrono::steady_clock::now();
    CliRun run(QStringList {QStringLiteral("send"), QStringLiteral("--quiet"), QStringLiteral("--timeout"),
                            QStringLiteral("1")}
               + portOf(device) + QStringList {file});
    EXPECT_EQ(run.finish(), 1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    // Quiet holds the event lines back until the run has failed, then tells them on standard error.
    EXPECT_EQ(run.out(), QString());
    EXPECT_TRUE(run.err().contains(msg::kTransferFailed + QLatin1Char('\n')));
    EXPECT_TRUE(run.err().contains(msg::kDeviceNotResponding + QLatin1Char('\n')));
}

// Every signal that would end the program takes the Abort path instead.
class CliSignal : public testing::TestWithParam<int> {};

TEST_P(CliSignal, MidReceptionAbortsKeepsWhatCameAndExits130)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("in.txt"));
    writeFile(file, "previous\r\n");
    hhcsim::DeviceOptions options = deviceOptions(Mode::Send, {"r1", "r2", "r3", "r4"});
    options.faults.stopAfter = 2;
    DeviceThread device(options);

    CliRun run(QStringList {QStringLiteral("receive")} + portOf(device) + QStringList {file});
    ASSERT_TRUE(run.waitForOutput(msg::kSentResponse));
    ASSERT_TRUE(waitFor([&] {
        for (const DeviceEvent& event : device.eventsOf(DeviceEvent::Kind::Note)) {
            if (event.text.contains(QLatin1String("falling silent")))
                return true;
        }
        return false;
    }));
    run.signal(GetParam());
    EXPECT_EQ(run.finish(), 130) << run.out().toStdString();
    EXPECT_EQ(run.out().count(msg::abortedBySignal(GetParam())), 1) << run.out().toStdString();
    EXPECT_TRUE(run.out().contains(QStringLiteral("The reception was aborted"))) << run.out().toStdString();
    // What arrived is saved in whole records, never a record cut short, and the
    // previous file is kept beside it.
    const std::optional<QByteArray> saved = readFile(file);
    EXPECT_TRUE(saved && QByteArray("r1\r\nr2\r\n").startsWith(*saved)
                && (saved->isEmpty() || saved->endsWith("\r\n")))
        << saved.value_or("<missing>").toStdString();
    const QString keptAt = msg::previousFileKept(QString());
    const qsizetype at = run.out().indexOf(keptAt);
    ASSERT_GE(at, 0) << run.out().toStdString();
    const QString kept = run.out().mid(at + keptAt.size()).section(QLatin1Char('\n'), 0, 0);
    EXPECT_EQ(readFile(kept), QByteArray("previous\r\n"));
}

INSTANTIATE_TEST_SUITE_P(Signals, CliSignal, testing::Values(SIGINT, SIGQUIT, SIGUSR1, SIGALRM, SIGRTMIN + 3));

TEST(CliRun, SecondCopyOnTheSamePortIsRefusedAndTerminateAbortsTheFirst)
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.txt"));
    const QString second = dir.filePath(QStringLiteral("second.txt"));
    writeFile(first, "kept\r\n");
    hhcsim::DeviceOptions options = deviceOptions(Mode::Receive);
    options.faults.noAnswer = true;
    DeviceThread device(options);

    CliRun holder(QStringList {QStringLiteral("receive"), QStringLiteral("--timeout"), QStringLiteral("0")}
                  + portOf(device) + QStringList {first});
    ASSERT_TRUE(holder.waitForOutput(msg::kWaitingBeginRequest));
    CliRun refused(QStringList {QStringLiteral("receive")} + portOf(device) + QStringList {second});
    EXPECT_EQ(refused.finish(), 3);
    EXPECT_TRUE(refused.out().contains(msg::kErrorOpeningPort + QStringLiteral("\n")));
    // The next line says why, naming the holder.
    EXPECT_TRUE(refused.out().contains(QStringLiteral(" In use by "))) << refused.out().toStdString();
    EXPECT_FALSE(QFile::exists(second));

    holder.signal(SIGTERM);
    EXPECT_EQ(holder.finish(), 130);
    EXPECT_EQ(readFile(first), QByteArray("kept\r\n"));
}

TEST(CliRun, CopiesOnTwoPortsRunSideBySide)
{
    QTemporaryDir dir;
    const QByteArrayList firstRecords {"a1", "a2"};
    const QByteArrayList secondRecords {"b1"};
    DeviceThread firstDevice(deviceOptions(Mode::Send, firstRecords));
    DeviceThread secondDevice(deviceOptions(Mode::Send, secondRecords));
    const QString firstFile = dir.filePath(QStringLiteral("first.txt"));
    const QString secondFile = dir.filePath(QStringLiteral("second.txt"));

    CliRun first(QStringList {QStringLiteral("receive")} + portOf(firstDevice) + QStringList {firstFile});
    CliRun second(QStringList {QStringLiteral("receive")} + portOf(secondDevice) + QStringList {secondFile});
    EXPECT_EQ(first.finish(), 0) << first.out().toStdString();
    EXPECT_EQ(second.finish(), 0) << second.out().toStdString();
    EXPECT_EQ(readFile(firstFile), QByteArray("a1\r\na2\r\n"));
    EXPECT_EQ(readFile(secondFile), QByteArray("b1\r\n"));
}

struct HostileCase {
    const char* name;
    const char* fileName;   // a printf format: "\\377" stands for the byte 0xFF
    bool closeOutput;       // the reader of standard output and standard error leaves after one byte
    rlim_t fileSizeLimit;   // bytes; 0: none
    int status;
    const char* says;       // on standard output or standard error; empty when nobody reads them
};

class CliHostileEnvironment : public testing::TestWithParam<HostileCase> {};

TEST_P(CliHostileEnvironment, LosesNothingAndSaysWhatHappened)
{
    const HostileCase& c = GetParam();
    QTemporaryDir dir;
    const QDir folder(dir.path());
    ASSERT_TRUE(folder.mkpath(QStringLiteral("home")) && folder.mkpath(QStringLiteral("tmp")));
    const QByteArrayList records = makeRecords(2000, 40);
    DeviceThread device(deviceOptions(Mode::Send, records));

    // Through the shell, which alone can hand over a name that is not valid text, and
    // into a reader that may leave after the first byte, as `| head -c1` does.
    const QString reader = c.closeOutput ? QStringLiteral("head -c 1 >/dev/null") : QStringLiteral("cat");
    CliRun run({QStringLiteral("-c"),
                QStringLiteral("\"$0\" receive --device \"$1\" \"$(printf \"$2\")\" 2>&1 | %1; exit ${PIPESTATUS[0]}")
                    .arg(reader),
                QStringLiteral(QL_CLI_EXE), device.link(), dir.filePath(QString::fromLatin1(c.fileName))},
               [&](QProcess& process) {
                   process.setProgram(QStringLiteral("/bin/bash"));
                   QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
                   environment.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
                   environment.insert(QStringLiteral("TMPDIR"), dir.filePath(QStringLiteral("tmp")));
                   process.setProcessEnvironment(environment);
                   const rlim_t limit = c.fileSizeLimit;
                   if (limit > 0)
                       process.setChildProcessModifier([limit] {
                           const rlimit bytes {limit, limit};
                           if (::setrlimit(RLIMIT_FSIZE, &bytes) != 0)
                               ::_exit(127);
                       });
               });
    EXPECT_EQ(run.finish(), c.status) << run.out().toStdString();
    EXPECT_TRUE(run.out().contains(QString::fromUtf8(c.says))) << run.out().toStdString();
    // Never a look-alike name, never a part of the records.
    const QStringList files = folder.entryList(QDir::Files);
    EXPECT_EQ(files, c.status == 0 ? QStringList {QStringLiteral("in.txt")} : QStringList());
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("in.txt"))),
              c.status == 0 ? std::optional(hhcsim::formatDataFile(records)) : std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliHostileEnvironment,
    testing::Values(
        HostileCase {"ClosedOutput", "in.txt", true, 0, 0, ""},
        HostileCase {"NameNotValidText", "\\377.txt", false, 0, 2, "holds bytes that are not valid text here"},
        HostileCase {"NowhereToSave", "in.txt", false, 16 * 1024, 3,
                     "2000 received records could not be written to any file and are lost when the program ends"}),
    [](const testing::TestParamInfo<HostileCase>& param) { return std::string(param.param.name); });

struct ReceptionCase {
    const char* name;
    QByteArrayList records;
    int cutRecordBytes;     // >0: the device hangs up after all but the last record, this much of it sent
    QString says;
    QString summary;        // what the summary line holds
};

class CliReceptionEdges : public testing::TestWithParam<ReceptionCase> {};

TEST_P(CliReceptionEdges, KeepEveryByteAndDoNotLookClean)
{
    const ReceptionCase& c = GetParam();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("in.txt"));
    hhcsim::DeviceOptions options = deviceOptions(Mode::Send, c.records);
    QByteArrayList kept = c.records;
    if (c.cutRecordBytes > 0) {
        options.faults.hangupAfter = static_cast<int>(c.records.size()) - 1;
        options.faults.cutRecordBytes = c.cutRecordBytes;
        kept.removeLast();
    }
    DeviceThread device(options);

    CliRun run(QStringList {QStringLiteral("receive")} + portOf(device) + QStringList {file});
    EXPECT_EQ(run.finish(), 1) << run.out().toStdString();
    EXPECT_EQ(readFile(file), hhcsim::formatDataFile(kept));
    EXPECT_TRUE(run.out().contains(c.says + QLatin1Char('\n'))) << run.out().toStdString();
    EXPECT_TRUE(run.out().section(QLatin1Char('\n'), -2).contains(c.summary)) << run.out().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliReceptionEdges,
    testing::Values(ReceptionCase {"LineEndsInARecord", {"a", "b\rc", "d\ne", "f\r\ng"}, 0, msg::recordHoldsLineEnd(2),
                                   QStringLiteral(", 2 records that the data file cannot give back as they came")},
                    ReceptionCase {"RecordOver32767Characters", {"a", QByteArray(40000, 'x')}, 0,
                                   msg::recordTooLong(2, 40000, 32767),
                                   QStringLiteral(", 1 record that the data file cannot give back as it came")},
                    ReceptionCase {"IncompleteLastRecord", {"a", "b", "cde"}, 3, msg::incompleteRecordDropped(3),
                                   QStringLiteral("Summary: 2 records, 4 bytes, ")}),
    [](const testing::TestParamInfo<ReceptionCase>& param) { return std::string(param.param.name); });

TEST(CliRun, PortsCheckWarnsOfAPortThatCannotBeOpened)
{
    CliRun run({QStringLiteral("ports"), QStringLiteral("--check")}, [](QProcess& process) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QUORVALINK_COM99"), QStringLiteral("/nonexistent/tty"));
        process.setProcessEnvironment(environment);
    });
    EXPECT_EQ(run.finish(), 1);
    EXPECT_TRUE(run.out().contains(QStringLiteral("Port 99  /nonexistent/tty\n  stable name:    (none)\n"
                                                  "  access:         cannot be opened: /nonexistent/tty does not exist\n"
                                                  "  held by:        nobody\n")))
        << run.out().toStdString();
    EXPECT_TRUE(run.out().contains(QStringLiteral("\nWarning: /nonexistent/tty does not exist\n    ")));
}

struct StatusCase {
    const char* name;
    // FILE, MISSING, EMPTY and FOLDER stand for a data file, none, an empty one and a folder.
    QStringList arguments;
    int status;
    const char* says; // on standard output or standard error
};

class CliExitStatus : public testing::TestWithParam<StatusCase> {};

TEST_P(CliExitStatus, EndsWithTheDocumentedStatus)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("data.txt"));
    writeFile(file, "rec\r\n");
    const QString empty = dir.filePath(QStringLiteral("empty.txt"));
    writeFile(empty, QByteArray());
    QStringList arguments;
    for (const QString& argument : GetParam().arguments) {
        arguments.append(argument == QLatin1String("FILE")      ? file
                         : argument == QLatin1String("MISSING") ? dir.filePath(QStringLiteral("missing.txt"))
                         : argument == QLatin1String("EMPTY")   ? empty
                         : argument == QLatin1String("FOLDER")  ? dir.path()
                                                                : argument);
    }
    CliRun run(arguments);
    EXPECT_EQ(run.finish(), GetParam().status);
    EXPECT_TRUE((run.out() + run.err()).contains(QString::fromUtf8(GetParam().says)))
        << run.out().toStdString() << run.err().toStdString();
    EXPECT_EQ(readFile(file), QByteArray("rec\r\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, CliExitStatus,
    testing::Values(
        StatusCase {"Help", {"--help"}, 0, "130  interrupted"},
        StatusCase {"Version", {"--version"}, 0, "quorvalink-cli "},
        StatusCase {"NoCommand", {}, 2, "no command given"},
        StatusCase {"UnknownCommand", {"fetch", "FILE"}, 2, "unknown command 'fetch'"},
        StatusCase {"UnknownOption", {"send", "--port", "1", "--fast", "FILE"}, 2, "unknown option '--fast'"},
        StatusCase {"NoFile", {"send", "--port", "1"}, 2, "no FILE given"},
        StatusCase {"TwoFiles", {"send", "--port", "1", "FILE", "FILE"}, 2, "one FILE only"},
        StatusCase {"NoPort", {"receive", "FILE"}, 2, "either --port N or --device PATH"},
        StatusCase {"PortAndDevice", {"receive", "--port", "1", "--device", "/dev/null", "FILE"}, 2,
                    "either --port N or --device PATH"},
        StatusCase {"PortZero", {"send", "--port", "0", "FILE"}, 2, "not a port number from 1 to 99"},
        StatusCase {"PortNotANumber", {"send", "--port", "2x", "FILE"}, 2, "not a port number"},
        StatusCase {"MissingValue", {"send", "FILE", "--port"}, 2, "--port needs a value"},
        StatusCase {"BadBaud", {"send", "--port", "1", "--baud", "fast", "FILE"}, 2, "not a baud rate"},
        StatusCase {"BadDataBits", {"send", "--port", "1", "--data-bits", "9", "FILE"}, 2, "not 5, 6, 7 or 8"},
        StatusCase {"BadStopBits", {"send", "--port", "1", "--stop-bits", "3", "FILE"}, 2, "not 1, 1.5 or 2"},
        StatusCase {"NegativeTimeout", {"send", "--port", "1", "--timeout", "-1", "FILE"}, 2, "--timeout"},
        StatusCase {"OptionTwice", {"send", "--port", "1", "--port=2", "FILE"}, 2, "--port is given twice"},
        StatusCase {"CheckGoesWithPortsOnly", {"send", "--check", "--port", "1", "FILE"}, 2, "--check goes with ports"},
        StatusCase {"QuietTakesNoValue", {"send", "--quiet=yes", "--port", "1", "FILE"}, 2, "takes no value"},
        StatusCase {"DeviceMissing", {"send", "--device", "/nonexistent/tty", "FILE"}, 3, "Error in opening port . . ."},
        StatusCase {"DeviceMissingSaysWhy", {"send", "--device", "/nonexistent/tty", "FILE"}, 3,
                    "Cannot open /nonexistent/tty: No such file or directory"},
        StatusCase {"DeviceNotSerial", {"receive", "--device", "/dev/null", "MISSING"}, 3,
                    "Not a serial device: /dev/null"},
        StatusCase {"SendFileMissing", {"send", "--device", "/dev/null", "MISSING"}, 3,
                    "Error occured while reading the file"},
        StatusCase {"NothingToSend", {"send", "--device", "/dev/null", "EMPTY"}, 3, "no records to send"},
        StatusCase {"ReceiveIntoAFolder", {"receive", "--device", "/dev/null", "FOLDER"}, 3,
                    "Error occured while reading the file"}),
    [](const testing::TestParamInfo<StatusCase>& param) { return std::string(param.param.name); });

} // namespace
} // namespace ql::test
