#include "CliRun.h"
#include "hhcsim/DataFile.h"
#include "support/DeviceThread.h"
#include "support/Files.h"
#include "support/RecordMakers.h"
#include "support/WaitFor.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <vector>

namespace ql::test {
namespace {

using hhcsim::DeviceEvent;
using hhcsim::Mode;

// What happens to the watched ports besides their devices sending.
enum class Step {
    None,
    LateDevice,     // the device appears after the watch started
    Replug,         // the device hangs up mid-reception; another comes at its link
    TerminateMidway, // SIGTERM while the device has fallen silent
    SecondWatcher,  // a second watch on the held port
    NameTaken,      // the first file name exists already
    FolderUnusable, // --into names a folder that cannot be made
};

struct WatchCase {
    const char* name;
    int devices = 1;
    bool once = true;
    hhcsim::Faults faults {};
    Step step = Step::None;
    QStringList options {};
    // The outcomes of the first journal lines, in order; the exit status.
    QStringList outcomes {};
    int exitStatus = 0;
};

const QByteArrayList kRecords = makeRecords(4, 12);

hhcsim::Faults silentAfter(int records)
{
    hhcsim::Faults faults;
    faults.stopAfter = records;
    return faults;
}

hhcsim::Faults hangUpAfter(int records)
{
    hhcsim::Faults faults;
    faults.hangupAfter = records;
    return faults;
}

std::vector<QJsonObject> journalLines(const QString& path)
{
    std::vector<QJsonObject> lines;
    for (const QByteArray& line : readFile(path).value_or(QByteArray()).split('\n'))
        if (!line.isEmpty())
            lines.push_back(QJsonDocument::fromJson(line).object());
    return lines;
}

class WatchEndToEnd : public testing::TestWithParam<WatchCase> {};

TEST_P(WatchEndToEnd, KeepsEveryReceptionInItsOwnFileAndJournalsIt)
{
    const WatchCase& test = GetParam();
    QTemporaryDir dir;
    const QString into = test.step == Step::FolderUnusable ? dir.filePath(QStringLiteral("file/received"))
                                                           : dir.filePath(QStringLiteral("received"));
    const QString journal = dir.filePath(QStringLiteral("journal.jsonl"));
    if (test.step == Step::FolderUnusable)
        writeFile(dir.filePath(QStringLiteral("file")), "not a folder");

    hhcsim::DeviceOptions options = deviceOptions(Mode::Send, kRecords);
    options.once = test.once;
    options.faults = test.faults;
    std::vector<std::unique_ptr<DeviceThread>> devices;
    QStringList links;
    for (int i = 0; i < test.devices; ++i) {
        options.linkPath = dir.filePath(QStringLiteral("hhc%1").arg(i));
        links << QStringLiteral("--device") << options.linkPath;
        if (test.step != Step::LateDevice)
            devices.push_back(std::make_unique<DeviceThread>(options));
    }
    if (test.step == Step::NameTaken) {
        const QString port = QFileInfo(QFileInfo(options.linkPath).canonicalFilePath()).fileName();
        ASSERT_TRUE(QDir().mkpath(into));
        writeFile(QDir(into).filePath(port + QStringLiteral("-1.txt")), "earlier\r\n");
    }

    CliRun watch(QStringList {QStringLiteral("watch"), QStringLiteral("--into"), into, QStringLiteral("--journal"),
                              journal, QStringLiteral("--name"), QStringLiteral("{port}-{n}.txt")}
                 + links + test.options);
    if (test.step == Step::FolderUnusable) {
        EXPECT_EQ(watch.finish(), test.exitStatus);
        EXPECT_TRUE(watch.out().contains(QStringLiteral("--into"))) << watch.out().toStdString();
        EXPECT_FALSE(QFileInfo::exists(journal));
        return;
    }
    ASSERT_TRUE(watch.waitForOutput(QStringLiteral("receiving into")));
    if (test.step == Step::LateDevice)
        devices.push_back(std::make_unique<DeviceThread>(options));
    const auto linesAtLeast = [&](size_t count) {
        return waitFor([&] { return journalLines(journal).size() >= count; }, kRunBound);
    };
    switch (test.step) {
    case Step::Replug:
        ASSERT_TRUE(linesAtLeast(1)) << watch.out().toStdString();
        options.faults = {};
        devices.push_back(std::make_unique<DeviceThread>(options));
        break;
    case Step::TerminateMidway:
        ASSERT_TRUE(waitFor([&] {
            for (const DeviceEvent& event : devices[0]->eventsOf(DeviceEvent::Kind::Note))
                if (event.text.contains(QLatin1String("falling silent")))
                    return true;
            return false;
        }, kRunBound));
        break;
    case Step::SecondWatcher: {
        ASSERT_TRUE(linesAtLeast(1)) << watch.out().toStdString();
        CliRun second(QStringList {QStringLiteral("watch"), QStringLiteral("--into"), dir.filePath("second")} + links);
        EXPECT_TRUE(second.waitForOutput(QStringLiteral("cannot take"))) << second.out().toStdString();
        second.signal(SIGTERM);
        EXPECT_EQ(second.finish(), 0);
        EXPECT_TRUE(QDir(dir.filePath("second")).isEmpty());
        break;
    }
    default: break;
    }
    if (test.step != Step::TerminateMidway) {
        ASSERT_TRUE(linesAtLeast(static_cast<size_t>(test.outcomes.size()))) << watch.out().toStdString();
    }
    watch.signal(SIGTERM);
    EXPECT_EQ(watch.finish(), test.exitStatus) << watch.out().toStdString() << watch.err().toStdString();

    const std::vector<QJsonObject> lines = journalLines(journal);
    ASSERT_GE(lines.size(), static_cast<size_t>(test.outcomes.size())) << watch.out().toStdString();
    QStringList files;
    for (size_t i = 0; i < lines.size(); ++i) {
        const QJsonObject& line = lines[i];
        const QString outcome = line[QStringLiteral("outcome")].toString();
        if (i < static_cast<size_t>(test.outcomes.size())) {
            EXPECT_EQ(outcome, test.outcomes[static_cast<qsizetype>(i)]) << watch.out().toStdString();
        }
        for (const char* time : {"started", "ended"})
            EXPECT_TRUE(QDateTime::fromString(line[QLatin1String(time)].toString(), Qt::ISODate).isValid());
        EXPECT_TRUE(line[QStringLiteral("identity")].isNull());
        const QString file = line[QStringLiteral("file")].toString();
        const int records = line[QStringLiteral("records")].toInt();
        if (records == 0) {
            EXPECT_TRUE(line[QStringLiteral("file")].isNull());
            continue;
        }
        const std::optional<QByteArray> bytes = readFile(file);
        ASSERT_TRUE(bytes) << file.toStdString();
        files << file;
        EXPECT_EQ(QCryptographicHash::hash(*bytes, QCryptographicHash::Sha256).toHex(),
                  line[QStringLiteral("sha256")].toString().toLatin1());
        EXPECT_EQ(file.endsWith(QLatin1String(".partial")), outcome != QLatin1String("succeeded"));
        EXPECT_EQ(*bytes, hhcsim::formatDataFile(kRecords.mid(0, records)));
    }
    const qsizetype written = files.size();
    files.removeDuplicates();
    EXPECT_EQ(files.size(), written);
    // Nothing half written is left behind, and an earlier file keeps its contents.
    const QStringList left = QDir(into).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : left)
        EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << name.toStdString();
    if (test.step == Step::NameTaken) {
        EXPECT_TRUE(files.first().endsWith(QLatin1String("-1-2.txt"))) << files.first().toStdString();
        EXPECT_EQ(left.size(), 2);
    }
}

const QString kOk = QStringLiteral("succeeded");
const QString kFailed = QStringLiteral("failed");
const QString kAborted = QStringLiteral("aborted");

INSTANTIATE_TEST_SUITE_P(
    Cases, WatchEndToEnd,
    testing::Values(WatchCase {"TwoBackToBack", 1, false, {}, Step::None, {}, {kOk, kOk}},
                    WatchCase {"ThreePortsAtOnce", 3, true, {}, Step::None, {}, {kOk, kOk, kOk}},
                    WatchCase {"LatePort", 1, true, {}, Step::LateDevice, {}, {kOk}},
                    WatchCase {"UnplugThenReplug", 1, true, hangUpAfter(2), Step::Replug, {}, {kFailed, kOk}},
                    WatchCase {"QuietLimit", 1, true, silentAfter(2), Step::None,
                               {QStringLiteral("--quiet-limit"), QStringLiteral("1")}, {kFailed}},
                    WatchCase {"NameCollision", 1, true, {}, Step::NameTaken, {}, {kOk}},
                    WatchCase {"UnwritableFolder", 1, true, {}, Step::FolderUnusable, {}, {}, 3},
                    WatchCase {"TerminateMidReception", 1, true, silentAfter(2), Step::TerminateMidway, {},
                               {kAborted}},
                    WatchCase {"SecondWatcherRefused", 1, true, {}, Step::SecondWatcher, {}, {kOk}}),
    [](const testing::TestParamInfo<WatchCase>& param) { return std::string(param.param.name); });

} // namespace
} // namespace ql::test
