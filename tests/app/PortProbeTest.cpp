#include "LoadedWindowFixture.h"
#include "WindowContents.h"

#include "app/PortProbe.h"
#include "eventlog/Messages.h"
#include "serial/PortMap.h"
#include "serial/SystemSerialControl.h"
#include "support/HeldByAnotherProcess.h"
#include "support/PtyPair.h"

#include <QComboBox>
#include <QDir>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace ql::test {
namespace {

// Whether this process could take the device for itself now.
bool freeToLock(const QString& device)
{
    const int fd = open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    const bool locked = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return locked;
}

TEST(PortProbe, ListsTheVirtualPortsThatOpenAndLeavesOutHeldAndMissingOnes)
{
    PtyPair free3;
    PtyPair held5;
    PtyPair free9;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = QDir(dir.path()).filePath(QStringLiteral("ttyGone"));

    const EnvironmentGuard port3("QUORVALINK_COM3", free3.slavePath().toLocal8Bit());
    const EnvironmentGuard port5("QUORVALINK_COM5", held5.slavePath().toLocal8Bit());
    const EnvironmentGuard port7("QUORVALINK_COM7", missing.toLocal8Bit());
    const EnvironmentGuard port9("QUORVALINK_COM9", free9.slavePath().toLocal8Bit());
    const HeldByAnotherProcess holder([path = held5.slavePath().toLocal8Bit()] {
        const int fd = open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        return fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
    });
    ASSERT_TRUE(holder.holding());

    const PortMap ports = PortMap::fromSystem();
    auto control = std::make_unique<SystemSerialControl>(ports);
    const SystemSerialControl& serial = *control;
    frmMainWin window(std::move(control), std::make_unique<ScriptedFileDialog>());
    window.setPortNames(ports);
    window.Form_Load();

    auto* cmbPort = window.findChild<QComboBox*>(QStringLiteral("cmbPort"));
    ASSERT_NE(cmbPort, nullptr);
    const QStringList listed = entries(*cmbPort);
    EXPECT_TRUE(listed.contains(QStringLiteral("3"))) << listed.join(QLatin1Char(',')).toStdString();
    EXPECT_TRUE(listed.contains(QStringLiteral("9"))) << listed.join(QLatin1Char(',')).toStdString();
    EXPECT_FALSE(listed.contains(QStringLiteral("5"))) << "held by another process";
    EXPECT_FALSE(listed.contains(QStringLiteral("7"))) << "device missing";
    for (qsizetype i = 1; i < listed.size(); ++i)
        EXPECT_LT(listed.at(i - 1).toInt(), listed.at(i).toInt()) << "ascending";
    EXPECT_EQ(cmbPort->currentIndex(), 0);

    const auto toolTip = [&](const char* number) {
        return cmbPort->itemData(cmbPort->findText(QString::fromLatin1(number)), Qt::ToolTipRole).toString();
    };
    EXPECT_TRUE(toolTip("3").startsWith(free3.slavePath())) << toolTip("3").toStdString();
    EXPECT_TRUE(toolTip("3").contains(QStringLiteral("QUORVALINK_COM3")));
    EXPECT_TRUE(toolTip("9").startsWith(free9.slavePath()));
    for (int index = 0; index < cmbPort->count(); ++index)
        EXPECT_FALSE(cmbPort->itemData(index, Qt::ToolTipRole).toString().isEmpty()) << index;

    EXPECT_FALSE(serial.PortOpen());
    EXPECT_TRUE(freeToLock(free3.slavePath()));
    EXPECT_TRUE(freeToLock(free9.slavePath()));
}

TEST(GroupHint, IsGivenOnlyWhereJoiningTheDevicesGroupLetsIn)
{
    struct Case {
        DeviceAccess device;
        QList<unsigned> groups; // of the process, whose user is 1000
        bool hint;
        bool may;
    };
    for (const Case& c : {Case {{0, 20, 0660, {}, {}}, {1000, 24}, true, false}, // root:dialout, user outside
                          Case {{0, 20, 0660, {}, {}}, {1000, 20}, false, true}, // already in it
                          Case {{0, 5, 0620, {}, {}}, {1000}, false, false},     // root:tty, group cannot read
                          Case {{1000, 20, 0060, {}, {}}, {1000, 20}, false, false}, // the owner goes by the owner bits
                          Case {{1000, 20, 0600, {}, {}}, {1000}, false, true},
                          Case {{0, 20, 0666, {}, {}}, {1000}, false, true}}) { // open to all
        const ProcessIdentity process {1000, c.groups, {}};
        EXPECT_EQ(joiningGroupAdmits(c.device, process), c.hint) << c.device.owner << ' ' << c.device.mode;
        EXPECT_EQ(mayReadWrite(c.device, process), c.may) << c.device.owner << ' ' << c.device.mode;
        EXPECT_TRUE(mayReadWrite(c.device, {0, {0}, {}})); // root may
    }
    EXPECT_EQ(deviceModeText(0660), QStringLiteral("crw-rw----"));
    EXPECT_EQ(deviceModeText(0755), QStringLiteral("crwxr-xr-x"));
}

TEST(GroupHint, NamesTheOwningGroupAndGivesEveryOtherRefusalItsReason)
{
    const PortMap names = PortMap::fromRule(QProcessEnvironment(), {{"/dev/ttyQ1", {}}, {"/dev/ttyQ2", {}}});
    FakeSerialControl serial;
    serial.onCall = [&](const FakeSerialControl::Call& call) {
        if (call.op == FakeSerialControl::Op::SetPortOpen && call.value == QLatin1String("true"))
            throw Failure(names.entry(serial.commPort) ? EACCES : ENOENT,
                          QStringLiteral("refused %1").arg(serial.commPort));
    };
    AccessLookup lookup;
    lookup.device = [](const QString& path) {
        return std::optional(path.endsWith(QLatin1Char('1')) ? DeviceAccess {0, 10, 0660, "root", "uucp"}
                                                             : DeviceAccess {0, 5, 0620, "root", "tty"});
    };
    lookup.process = [] { return std::optional<ProcessIdentity>({1000, {1000}, {}}); };
    EXPECT_EQ(ProbePorts(serial, names, lookup).reasons,
              (QStringList {msg::portsPermissionDenied({"/dev/ttyQ1"}, "uucp"),
                            msg::portRefused("refused 2", msg::deviceOwnership("root", "tty", 0620))}));
}

} // namespace
} // namespace ql::test
