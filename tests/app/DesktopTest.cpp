#include "LoadedWindowFixture.h"
#include "WindowContents.h"

#include "app/DeviceWatcher.h"
#include "app/WindowSystem.h"
#include "eventlog/Messages.h"
#include "records/RecordList.h"
#include "support/Files.h"

#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QTemporaryDir>

#include <cerrno>

namespace ql::test {
namespace {

using Op = FakeSerialControl::Op;

class FakeWindowSystem final : public WindowSystem {
public:
    FakeWindowSystem(bool places, bool takesMoves, int& asked) : m_places(places), m_takesMoves(takesMoves), m_asked(asked)
    {
    }
    bool placesWindows() const override { return m_places; }
    bool takesHotSpotsInDevicePixels() const override { return false; }
    bool startSystemMove(QWindow&) override
    {
        ++m_asked;
        return m_takesMoves;
    }

private:
    bool m_places;
    bool m_takesMoves;
    int& m_asked;
};

struct MoveCase {
    const char* name;
    bool placesWindows;
    bool systemTakesMoves;
    int movesAsked;
    bool windowFollowsOwnMoves;
};

void PrintTo(const MoveCase& c, std::ostream* out)
{
    *out << c.name;
}

class TitleBandPress : public MainWindowTest, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(TitleBandPress, AsksForASystemMoveOnlyWhereCodeCannotPlaceTheWindow)
{
    const MoveCase& c = GetParam();
    int asked = 0;
    window->setWindowSystem(std::make_unique<FakeWindowSystem>(c.placesWindows, c.systemTakesMoves, asked));
    auto* title = control<QLabel>("lblTitleBar");

    QTest::mousePress(title, Qt::RightButton, {}, {100, 20});
    QTest::mouseRelease(title, Qt::RightButton, {}, {100, 20});
    EXPECT_EQ(asked, 0) << "only the left button drags";

    const QPoint start = window->pos();
    QTest::mousePress(title, Qt::LeftButton, {}, {100, 20});
    EXPECT_EQ(window->dragAnchor(), QPoint(1500, 300));
    QTest::mouseMove(title, {130, 25});
    QTest::mouseRelease(title, Qt::LeftButton, {}, {130, 25});
    EXPECT_EQ(asked, c.movesAsked);
    EXPECT_EQ(window->pos(), c.windowFollowsOwnMoves ? start + QPoint(30, 5) : start);
}

INSTANTIATE_TEST_SUITE_P(
    WindowSystems, TitleBandPress,
    ::testing::Values(MoveCase {"X11", true, true, 0, true}, MoveCase {"Wayland", false, true, 1, false},
                      MoveCase {"WaylandWithoutSystemMoves", false, false, 1, true}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// The devices a test plugs in and out, and how each answers an open.
class FakeDevices {
public:
    struct Device {
        QString path;
        int openError = 0; // errno of a refused open, 0 when it opens
    };

    void plug(const QList<Device>& devices) { m_devices = devices; }

    PortMap list()
    {
        ++listings;
        QList<SystemPort> ports;
        for (const Device& device : m_devices)
            ports.append({device.path, QStringLiteral("USB serial")});
        m_map = PortMap::fromRule(QProcessEnvironment(), ports);
        return m_map;
    }

    // Answers the control's opens as the listed devices would.
    void answerOpens(FakeSerialControl& serial)
    {
        serial.onCall = [this, &serial](const FakeSerialControl::Call& call) {
            if (call.op != Op::SetPortOpen || call.value != QLatin1String("true"))
                return;
            const std::optional<PortEntry> entry = m_map.entry(serial.commPort);
            if (!entry)
                throw Failure(ENOENT, QStringLiteral("no device"));
            for (const Device& device : m_devices)
                if (device.path == entry->systemName && device.openError != 0)
                    throw Failure(device.openError, QStringLiteral("refused"));
        };
    }

    int listings = 0;

private:
    QList<Device> m_devices;
    PortMap m_map;
};

class PortListTest : public LoadedWindowTest {
protected:
    void loadWith(const QList<FakeDevices::Device>& plugged, const QString& argumentText = {})
    {
        devices.plug(plugged);
        auto control = std::make_unique<FakeSerialControl>();
        serial = control.get();
        devices.answerOpens(*serial);
        auto loaded = std::make_unique<frmMainWin>(std::move(control), std::make_unique<ScriptedFileDialog>());
        loaded->setPortLister([this] { return devices.list(); });
        loaded->Form_Load(argumentText);
        showWindow(std::move(loaded));
    }

    QComboBox* cmbPort() const { return control<QComboBox>("cmbPort"); }
    QStringList events() const { return rows(*control<QListView>("lstEvents")); }

    void openPortList()
    {
        QTest::keyClick(cmbPort(), Qt::Key_F4);
        cmbPort()->hidePopup();
    }

    FakeDevices devices;
};

struct ProbeCase {
    const char* name;
    QList<FakeDevices::Device> devices;
    QString message; // empty: a port opened, nothing to say
};

void PrintTo(const ProbeCase& c, std::ostream* out)
{
    *out << c.name;
}

class ProbeMessage : public PortListTest, public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(ProbeMessage, SaysWhyNoPortCouldBeOpened)
{
    loadWith(GetParam().devices);
    const QString& expected = GetParam().message;
    EXPECT_EQ(events(), expected.isEmpty() ? QStringList() : QStringList {expected});
    EXPECT_EQ(control<QLabel>("lblStatus")->text(), expected.isEmpty() ? QStringLiteral("Ready") : expected);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, ProbeMessage,
    ::testing::Values(
        ProbeCase {"NoDevice", {}, msg::kNoSerialDevice},
        ProbeCase {"InUse", {{QStringLiteral("/dev/ttyUSB0"), EBUSY}},
                   msg::portsInUse({QStringLiteral("/dev/ttyUSB0")})},
        // A device file that is not there has no group to join.
        ProbeCase {"DeniedBeforeInUse",
                   {{QStringLiteral("/dev/ttyUSB0"), EBUSY}, {QStringLiteral("/nonexistent/ttyUSB1"), EPERM}},
                   msg::portRefused(QStringLiteral("refused"), {})},
        ProbeCase {"OneOpens", {{QStringLiteral("/dev/ttyUSB0"), EACCES}, {QStringLiteral("/dev/ttyUSB1"), 0}}, {}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(PortListTest, OpeningTheListProbesAgainAndKeepsTheSelectedDevice)
{
    loadWith({{QStringLiteral("/dev/ttyS0")}, {QStringLiteral("/dev/ttyUSB0")}});
    ASSERT_EQ(entries(*cmbPort()), (QStringList {QStringLiteral("1"), QStringLiteral("2")}));

    // The operator picks the adapter: its device shows in the closed box and as an event.
    QTest::keyClick(cmbPort(), Qt::Key_Down);
    EXPECT_EQ(cmbPort()->currentText(), QStringLiteral("2"));
    const QString adapter = QStringLiteral("/dev/ttyUSB0 \u2014 USB serial");
    EXPECT_EQ(cmbPort()->toolTip(), adapter);
    EXPECT_EQ(events(), QStringList {msg::portDevice(2, adapter)});

    // A device plugged in takes a number before the adapter's; the adapter stays chosen.
    devices.plug({{QStringLiteral("/dev/ttyACM0")}, {QStringLiteral("/dev/ttyS0")}, {QStringLiteral("/dev/ttyUSB0")}});
    openPortList();
    EXPECT_EQ(entries(*cmbPort()), (QStringList {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    EXPECT_EQ(cmbPort()->currentText(), QStringLiteral("3"));
    EXPECT_EQ(cmbPort()->toolTip(), adapter);
    EXPECT_EQ(events().size(), 1) << "a probe is not the operator's choice";

    // Unplugged, it leaves the first port selected.
    devices.plug({{QStringLiteral("/dev/ttyS0")}});
    openPortList();
    EXPECT_EQ(entries(*cmbPort()), QStringList {QStringLiteral("1")});
    EXPECT_EQ(cmbPort()->currentIndex(), 0);
    EXPECT_EQ(cmbPort()->toolTip(), QStringLiteral("/dev/ttyS0 \u2014 USB serial"));
}

TEST_F(PortListTest, ADeviceFileAppearingProbesAgain)
{
    loadWith({{QStringLiteral("/dev/ttyS0")}});
    QTemporaryDir deviceDirectory;
    ASSERT_TRUE(deviceDirectory.isValid());
    window->watchDevices(deviceDirectory.path());
    const int before = devices.listings;

    devices.plug({{QStringLiteral("/dev/ttyS0")}, {QStringLiteral("/dev/ttyUSB0")}});
    writeFile(deviceDirectory.filePath(QStringLiteral("ttyUSB0")), {});

    EXPECT_TRUE(waitFor([&] {
        QCoreApplication::processEvents();
        return cmbPort()->count() == 2;
    })) << entries(*cmbPort()).join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(devices.listings, before + 1);
}

TEST_F(PortListTest, DevicesComingDuringARunAreProbedOnceItHasEnded)
{
    loadWith({{QStringLiteral("/dev/ttyS0")}}, QStringLiteral("records.txt"));
    window->records().assign({QStringLiteral("R")});
    QTemporaryDir deviceDirectory;
    ASSERT_TRUE(deviceDirectory.isValid());
    window->watchDevices(deviceDirectory.path());
    auto* watcher = window->findChild<DeviceWatcher*>();
    ASSERT_NE(watcher, nullptr);
    const int before = devices.listings;

    int duringRun = -1;
    const auto answerOpens = serial->onCall;
    serial->onCall = [&](const FakeSerialControl::Call& call) {
        answerOpens(call);
        if (call.op != Op::Input || duringRun >= 0)
            return;
        emit watcher->devicesChanged();
        duringRun = devices.listings;
        serial->portOpen = false; // ends the run
    };
    QTest::mouseClick(control("PicStart"), Qt::LeftButton);
    EXPECT_EQ(duringRun, before);
    EXPECT_EQ(devices.listings, before + 1);
}

struct KeyCase {
    const char* control; // whose click the keys stand for
    QList<QKeySequence> keys;
};

TEST_F(LoadedWindowTest, CommandKeysAreShownInTheTooltipsAndActLikeTheirClicks)
{
    load(QStringLiteral("records.txt"));
    for (const KeyCase& c : {KeyCase {"PicStart", frmMainWin::kStartKeys}, KeyCase {"PicAbort", frmMainWin::kAbortKeys},
                             KeyCase {"cmdBrowse", frmMainWin::kBrowseKeys}, KeyCase {"ImgViewFile", frmMainWin::kViewKeys},
                             KeyCase {"PicHelp", frmMainWin::kHelpKeys}, KeyCase {"PicClose", frmMainWin::kCloseKeys}})
        for (const QKeySequence& key : c.keys)
            EXPECT_TRUE(control(c.control)->toolTip().contains(key.toString(QKeySequence::NativeText)))
                << c.control << " " << key.toString().toStdString();

    // Keys reach the control with the focus first, as they do from a keyboard.
    const auto press = [this](Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : window.get(), key, modifiers);
    };
    auto* lstRecords = control<QListView>("lstRecords");
    press(Qt::Key_F6);
    EXPECT_TRUE(lstRecords->isVisible());
    press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_FALSE(lstRecords->isVisible());

    press(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(comFile->opensShown(), 1);

    EXPECT_TRUE(opensAboutBox([&] { press(Qt::Key_F1); }));
    // The offscreen platform leaves no window active once the box has gone.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

    // Esc aborts the run that F5 started.
    window->records().assign({QStringLiteral("R")});
    bool abortedByEsc = false;
    serial->onCall = [&, press, done = false](const FakeSerialControl::Call& call) mutable {
        if (call.op != Op::Input || done)
            return;
        done = true;
        press(Qt::Key_Escape);
        abortedByEsc = !serial->portOpen;
        serial->portOpen = false; // ends the run all the same
    };
    press(Qt::Key_F5);
    EXPECT_TRUE(abortedByEsc);
    EXPECT_FALSE(window->isRunning());

    press(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(LoadedWindowTest, ShiftTabWalksTheTabOrderBackwards)
{
    load();
    const QStringList forward {QStringLiteral("cmbPort"), QStringLiteral("cmbBaud"), QStringLiteral("txtData"),
                               QStringLiteral("txtStop"), QStringLiteral("cmbProcess"), QStringLiteral("txtFile")};
    const auto focusedName = [] {
        QWidget* focus = QApplication::focusWidget();
        while (focus && focus->objectName().isEmpty())
            focus = focus->parentWidget();
        return focus ? focus->objectName() : QString();
    };
    control("cmbPort")->setFocus();
    QStringList visited;
    for (int step = 0; step < forward.size(); ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        settle();
        settle();
        visited.prepend(focusedName());
    }
    EXPECT_EQ(visited, forward);
}

TEST_F(LoadedWindowTest, ControlsAreNamedAfterTheirCaptionsAndTheFileBoxShowsTheWholePath)
{
    const QString path = QStringLiteral("/home/operator/transfers/2026/december/site-b/records-for-the-hhc.txt");
    load(path);
    for (const auto& [name, caption] : {std::pair {"cmbPort", "Com port"}, std::pair {"cmbBaud", "Baud rate"},
                                        std::pair {"txtData", "Data bit"}, std::pair {"txtStop", "Stop bit"},
                                        std::pair {"cmbProcess", "Process"}, std::pair {"PicStart", "Start"}})
        EXPECT_EQ(control(name)->accessibleName(), QLatin1String(caption)) << name;
    EXPECT_EQ(control("txtFile")->toolTip(), path);
}

} // namespace
} // namespace ql::test
