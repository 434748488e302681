#include "TransferWindowFixture.h"

#include "eventlog/Messages.h"
#include "hhcsim/DataFile.h"
#include "records/RecordFormat.h"

#include <gtest/gtest.h>

namespace ql::test {
namespace {

using hhcsim::DeviceEvent;
using Kind = DeviceEvent::Kind;

struct ReceiveCase {
    const char* name;
    QByteArrayList records;
    int noiseBytes = 0;
};

class HhcToPcKeepsRecordsExactly : public TransferWindowTest, public ::testing::WithParamInterface<ReceiveCase> {};

TEST_P(HhcToPcKeepsRecordsExactly, InListAndDataFile)
{
    const ReceiveCase& c = GetParam();
    auto options = deviceOptions(hhcsim::Mode::Send, c.records);
    options.faults.noiseBytes = c.noiseBytes;
    startDevice(options);
    const QString path = dataPath(QStringLiteral("received.txt"));
    chooseHhcToPc(path);

    start();

    EXPECT_EQ(records(), c.records);
    EXPECT_EQ(readFile(path), hhcsim::formatDataFile(c.records));
    const int n = static_cast<int>(c.records.size());
    const QStringList log = events();
    ASSERT_GE(log.size(), 3);
    EXPECT_EQ(log.mid(log.size() - 3),
              (QStringList {msg::kReceptionCompleted, msg::kSavingFile, msg::writtenRecords(n)}));
    EXPECT_EQ(status(), msg::writtenRecords(n));
    // The record counts go to the status line only.
    EXPECT_FALSE(log.contains(QString::number(n)));
    EXPECT_EQ(lastSession().received, QByteArray("^"));
    EXPECT_FALSE(window().serialControl()->PortOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Wire, HhcToPcKeepsRecordsExactly,
    ::testing::Values(ReceiveCase {"ThreeRecords", {"R1", "R2", "R3"}},
                      ReceiveCase {"EndAloneIsOneEmptyRecord", {""}},
                      ReceiveCase {"SeparatorsSideBySideAreEmptyRecords", {"", "", ""}},
                      ReceiveCase {"CaretAndHighBytesAreData", {"^a^", allHighBytes()}},
                      ReceiveCase {"NoiseBeforeBeginRequestIsDropped", {"R1", "R2"}, 200}),
    [](const ::testing::TestParamInfo<ReceiveCase>& param) { return std::string(param.param.name); });

TEST_F(TransferWindowTest, ReceivedLineBreaksSplitTheSavedFileOnReading)
{
    const QByteArrayList sent {"a\r\nb", "c\rd", "e\nf"};
    startDevice(deviceOptions(hhcsim::Mode::Send, sent));
    const QString path = dataPath(QStringLiteral("received.txt"));
    chooseHhcToPc(path);

    start();

    ASSERT_EQ(records(), sent);
    EXPECT_EQ(readFile(path), hhcsim::formatDataFile(sent));
    // A record ends at CR LF or a lone CR; a lone LF stays data.
    const auto readBack = splitRecords(readFile(path).value_or(QByteArray()));
    ASSERT_TRUE(readBack.has_value());
    EXPECT_EQ(*readBack, (QStringList {"a", "b", "c", "d", "e\nf"}));
    // So the run does not end looking clean.
    EXPECT_EQ(events().last(), msg::recordHoldsLineEnd(1));
    EXPECT_EQ(status(), msg::recordHoldsLineEnd(1));
}

TEST_F(TransferWindowTest, ReceiveKeepsRecordsAfterAbort)
{
    const QByteArrayList sent = numberedRecords(8);
    auto options = deviceOptions(hhcsim::Mode::Send, sent);
    options.faults.stopAfter = 3;
    startDevice(options);
    const QString path = dataPath(QStringLiteral("received.txt"));
    const QByteArray earlier = hhcsim::formatDataFile({"complete set from before"});
    writeFile(path, earlier);
    chooseHhcToPc(path);

    whileRunning([this] { return status() == QLatin1String("3"); }, [this] { abort(); });
    start();

    const QByteArrayList kept = sent.mid(0, 3);
    EXPECT_EQ(records(), kept);
    EXPECT_EQ(readFile(path), hhcsim::formatDataFile(kept));
    EXPECT_EQ(readFile(path + QStringLiteral(".bak")), earlier);
    const QStringList log = events();
    ASSERT_GE(log.size(), 5);
    EXPECT_EQ(log.mid(log.size() - 5),
              (QStringList {msg::kPortClosedByAbort, msg::kSavingFile, msg::previousFileKept(path + ".bak"),
                            msg::writtenRecords(3), msg::receptionAborted(3, path)}));
    EXPECT_EQ(status(), msg::receptionAborted(3, path));
}

TEST_F(TransferWindowTest, AbortBeforeBeginRequestLeavesDataFileAlone)
{
    auto options = deviceOptions(hhcsim::Mode::Send, {"R1"});
    options.faults.noAnswer = true;
    startDevice(options);
    const QString path = dataPath(QStringLiteral("received.txt"));
    const QByteArray earlier = hhcsim::formatDataFile({"kept from before"});
    writeFile(path, earlier);
    chooseHhcToPc(path);

    whileRunning([this] { return events().contains(msg::kWaitingBeginRequest); }, [this] { abort(); });
    start();

    EXPECT_EQ(readFile(path), earlier);
    EXPECT_EQ(events().last(), msg::kPortClosedByAbort);
    EXPECT_EQ(events().count(msg::kPortClosedByAbort), 1);
    EXPECT_FALSE(events().contains(msg::kSavingFile));
}

TEST_F(TransferWindowTest, ReceiveSavesRecordsBeforeDeviceHangsUp)
{
    const QByteArrayList sent = numberedRecords(4000);
    auto options = deviceOptions(hhcsim::Mode::Send, sent);
    options.faults.hangupAfter = 3;
    startDevice(options);
    const QString path = dataPath(QStringLiteral("received.txt"));
    chooseHhcToPc(path);

    start();

    EXPECT_FALSE(device().eventsOf(Kind::HungUp).empty());
    const QByteArrayList kept = sent.mid(0, 3);
    EXPECT_EQ(records(), kept);
    EXPECT_EQ(readFile(path), hhcsim::formatDataFile(kept));
    const QStringList log = events();
    ASSERT_GE(log.size(), 3);
    EXPECT_FALSE(log.contains(msg::kReceptionCompleted));
    EXPECT_FALSE(log.at(log.size() - 3).isEmpty());
    EXPECT_EQ(log.mid(log.size() - 2), (QStringList {msg::kSavingFile, msg::writtenRecords(3)}));
    EXPECT_FALSE(window().serialControl()->PortOpen());
}

} // namespace
} // namespace ql::test
