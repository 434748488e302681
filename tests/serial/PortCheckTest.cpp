#include "serial/PortCheck.h"

#include "support/Files.h"
#include "support/HeldByAnotherProcess.h"
#include "support/PtyPair.h"
#include "support/WaitFor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace ql::test {
namespace {

using Entries = std::vector<std::pair<const char*, const char*>>;

// A system's folders under a temporary root: files with their contents, and links
// to paths under the root, made relative as the kernel makes them.
class FakeSystem {
public:
    void add(const Entries& files, const Entries& links)
    {
        for (const auto& [path, contents] : files) {
            QDir().mkpath(QFileInfo(at(path)).path());
            writeFile(at(path), contents);
        }
        for (const auto& [path, target] : links) {
            QDir().mkpath(QFileInfo(at(path)).path());
            if (!QFileInfo::exists(at(target)))
                QDir().mkpath(at(target));
            ASSERT_TRUE(QFile::link(QDir(QFileInfo(at(path)).path()).relativeFilePath(at(target)), at(path)));
        }
    }
    QString at(const QString& path) const { return m_root.path() + QLatin1Char('/') + path; }
    QString root() const { return m_root.path(); }

private:
    QTemporaryDir m_root;
};

#define USB "sys/devices/pci0000:00/0000:00:14.0/usb1/"

// Six ports as Linux 6.x lays them out: a USB serial driver's port below its
// interface, a CDC-ACM interface that is the port itself, the serial core's port
// and controller devices above a 16550, and a tty the system knows nothing of.
const Entries kFiles {
    {USB "1-2/idVendor", "0403\n"}, {USB "1-2/idProduct", "6001\n"}, {USB "1-2/manufacturer", "FTDI\n"},
    {USB "1-2/product", "FT232R USB UART\n"}, {USB "1-2/serial", "QL0001\n"},
    {USB "1-2/1-2:1.0/ttyUSB0/latency_timer", "16\n"}, {USB "1-2/1-2:1.0/ttyUSB0/tty/ttyUSB0/dev", "188:0\n"},
    {USB "1-3/idVendor", "10c4\n"}, {USB "1-3/idProduct", "ea60\n"}, {USB "1-3/manufacturer", "Silicon Labs\n"},
    {USB "1-3/product", "CP2102 USB to UART Bridge Controller\n"}, {USB "1-3/serial", "0001\n"},
    {USB "1-3/1-3:1.0/ttyUSB1/tty/ttyUSB1/dev", "188:1\n"},
    {USB "1-4/idVendor", "1a86\n"}, {USB "1-4/idProduct", "7523\n"}, {USB "1-4/product", "USB Serial\n"},
    {USB "1-4/1-4:1.0/ttyUSB2/tty/ttyUSB2/dev", "188:2\n"},
    {USB "1-5/idVendor", "2341\n"}, {USB "1-5/idProduct", "0043\n"}, {USB "1-5/manufacturer", "Arduino\n"},
    {USB "1-5/product", "Uno\n"}, {USB "1-5/serial", "85735313\n"}, {USB "1-5/1-5:1.0/tty/ttyACM0/dev", "166:0\n"},
    {"sys/devices/platform/serial8250/serial8250:0/serial8250:0.1/tty/ttyS1/dev", "4:65\n"},
    {"dev/ttyUSB0", ""}, {"dev/ttyUSB1", ""}, {"dev/ttyUSB2", ""}, {"dev/ttyACM0", ""}, {"dev/ttyS1", ""}};

const Entries kLinks {
    {"sys/class/tty/ttyUSB0", USB "1-2/1-2:1.0/ttyUSB0/tty/ttyUSB0"},
    {USB "1-2/1-2:1.0/ttyUSB0/tty/ttyUSB0/device", USB "1-2/1-2:1.0/ttyUSB0"},
    {USB "1-2/1-2:1.0/ttyUSB0/driver", "sys/bus/usb-serial/drivers/ftdi_sio"},
    {"dev/serial/by-id/usb-FTDI_FT232R_USB_UART_QL0001-if00-port0", "dev/ttyUSB0"},
    {"sys/class/tty/ttyUSB1", USB "1-3/1-3:1.0/ttyUSB1/tty/ttyUSB1"},
    {USB "1-3/1-3:1.0/ttyUSB1/tty/ttyUSB1/device", USB "1-3/1-3:1.0/ttyUSB1"},
    {USB "1-3/1-3:1.0/ttyUSB1/driver", "sys/bus/usb-serial/drivers/cp210x"},
    {"dev/serial/by-id/usb-Silicon_Labs_CP2102_USB_to_UART_Bridge_Controller_0001-if00-port0", "dev/ttyUSB1"},
    {"sys/class/tty/ttyUSB2", USB "1-4/1-4:1.0/ttyUSB2/tty/ttyUSB2"},
    {USB "1-4/1-4:1.0/ttyUSB2/tty/ttyUSB2/device", USB "1-4/1-4:1.0/ttyUSB2"},
    {USB "1-4/1-4:1.0/ttyUSB2/driver", "sys/bus/usb-serial/drivers/ch341-uart"},
    {"sys/class/tty/ttyACM0", USB "1-5/1-5:1.0/tty/ttyACM0"},
    {USB "1-5/1-5:1.0/tty/ttyACM0/device", USB "1-5/1-5:1.0"},
    {USB "1-5/1-5:1.0/driver", "sys/bus/usb/drivers/cdc_acm"},
    {"sys/class/tty/ttyS1", "sys/devices/platform/serial8250/serial8250:0/serial8250:0.1/tty/ttyS1"},
    {"sys/devices/platform/serial8250/serial8250:0/serial8250:0.1/tty/ttyS1/device",
     "sys/devices/platform/serial8250/serial8250:0/serial8250:0.1"},
    {"sys/devices/platform/serial8250/serial8250:0/serial8250:0.1/driver", "sys/bus/serial-base/drivers/port"},
    {"sys/devices/platform/serial8250/serial8250:0/driver", "sys/bus/serial-base/drivers/ctrl"},
    {"sys/devices/platform/serial8250/driver", "sys/bus/platform/drivers/serial8250"}};

#undef USB

PortMap portsOf(const FakeSystem&)
{
    QList<SystemPort> ports;
    for (const char* tty : {"ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyACM0", "ttyS1", "ttyV0"})
        ports.append({QStringLiteral("/dev/") + QLatin1String(tty), {}});
    return PortMap::fromRule(QProcessEnvironment(), ports);
}

TEST(PortCheck, ReadsEachKindOfPortFromTheSystemsFolders)
{
    FakeSystem system;
    system.add(kFiles, kLinks);
    // In the ports' order: by their paths.
    const QStringList expected[] = {
        {"stable name:    USB path 1-5:1.0", "driver:         cdc_acm", "USB ids:        2341:0043",
         "manufacturer:   Arduino", "product:        Uno", "serial number:  85735313"},
        {"stable name:    (none)", "driver:         serial8250"},
        {"stable name:    /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_QL0001-if00-port0", "driver:         ftdi_sio",
         "USB ids:        0403:6001", "manufacturer:   FTDI", "product:        FT232R USB UART",
         "serial number:  QL0001", "latency timer:  16 ms"},
        {"stable name:    /dev/serial/by-id/usb-Silicon_Labs_CP2102_USB_to_UART_Bridge_Controller_0001-if00-port0",
         "driver:         cp210x", "USB ids:        10c4:ea60", "manufacturer:   Silicon Labs",
         "product:        CP2102 USB to UART Bridge Controller", "serial number:  0001"},
        {"stable name:    USB path 1-4:1.0", "driver:         ch341-uart", "USB ids:        1a86:7523",
         "product:        USB Serial"},
        {"stable name:    (none)"}};
    const PortCheckReport report = checkPorts(portsOf(system), system.root());
    ASSERT_EQ(report.ports.size(), 6);
    for (qsizetype k = 0; k < report.ports.size(); ++k) {
        const PortCheck& port = report.ports[k];
        EXPECT_EQ(identityLines(port.identity), expected[k]) << port.identity.device.toStdString();
        EXPECT_FALSE(port.holder);
        // Root may open every device there is; the last one has no device file.
        EXPECT_EQ(port.refusal.isEmpty(), k < 5) << port.refusal.toStdString();
    }
    EXPECT_EQ(report.ports[2].identity.adapterName(), QStringLiteral("FTDI FT232R USB UART"));
    EXPECT_EQ(report.ports[1].identity.adapterName(), QString());
    EXPECT_EQ(portIdentity(report.ports[2].identity.byId, system.root()).serialNumber, QStringLiteral("QL0001"));
    const QString text = reportText(report);
    EXPECT_TRUE(text.startsWith(QStringLiteral("Port 1  /dev/ttyACM0\n  stable name:    USB path"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("  access:         may be opened\n"
                                             "  held by:        nobody\n\nPort 2  /dev/ttyS1\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\n\nWarning: /dev/ttyV0 does not exist\n    plug")));
}

TEST(PortCheck, WarnsOfWhatGetsInTheWayOfEachPort)
{
    FakeSystem system;
    system.add(kFiles, kLinks);
    QList<PortCheck> ports;
    const PortMap map = portsOf(system);
    for (const PortEntry& entry : map.entries())
        ports.append(identifyPort(entry, system.root()));
    ports[2].holder = PortHolder {1234, QStringLiteral("minicom")};
    const QString rule = QStringLiteral("ATTRS{idVendor}==\"2341\", ATTRS{idProduct}==\"0043\", "
                                        "ATTRS{serial}==\"85735313\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"");
    const QString held = QStringLiteral("/dev/ttyUSB0 is held by PID 1234 (minicom)");
    const QString brltty = QStringLiteral("brltty 6.4-4 is running (PID 7) and may claim /dev/ttyACM0, /dev/ttyUSB0, "
                                          "/dev/ttyUSB1, /dev/ttyUSB2 as a braille display");
    const QString modemManager = QStringLiteral("ModemManager is running and may send AT commands to /dev/ttyACM0");
    struct Case {
        SystemPrograms programs;
        bool ignoredByUdev;
        QStringList starts; // of the warnings' texts, in order
    };
    const RunningProgram brlttyOld {7, QStringLiteral("6.4-4")};
    for (const Case& c :
         {Case {{}, false, {held}}, Case {{brlttyOld, {}}, false, {held, brltty}},
          Case {{RunningProgram {7, QStringLiteral("1:6.5-1")}, {}}, false, {held}},
          Case {{RunningProgram {7, {}}, {}}, false, {held, QStringLiteral("brltty is running (PID 7)")}},
          Case {{{}, RunningProgram {9, {}}}, false, {modemManager, held}}, Case {{{}, RunningProgram {9, {}}}, true, {held}}}) {
        ports[0].modemManagerIgnores = c.ignoredByUdev;
        const QList<PortWarning> warnings = portWarnings(ports, c.programs);
        ASSERT_EQ(warnings.size(), c.starts.size());
        for (qsizetype k = 0; k < warnings.size(); ++k)
            EXPECT_TRUE(warnings[k].text.startsWith(c.starts[k])) << warnings[k].text.toStdString();
        if (c.starts.contains(modemManager)) {
            EXPECT_EQ(warnings[0].details.last(), rule);
            EXPECT_TRUE(warningText(warnings[0]).endsWith(QStringLiteral("\n    ") + rule));
            EXPECT_EQ(warningsFor(warnings, QStringLiteral("/dev/ttyACM0")).size(), 1);
        }
    }
}

TEST(PortCheck, FindsTheProgramsRunningBesideThePortsAndWhoHoldsOne)
{
    FakeSystem system;
    system.add(kFiles, kLinks);
    QFile::link(QStringLiteral("/proc"), system.at(QStringLiteral("proc")));
    system.add({{"var/lib/dpkg/status", "Package: brltty-x11\nVersion: 9.9\n\nPackage: brltty\nStatus: install ok "
                                        "installed\nVersion: 6.4-4\n\n"},
                {"run/udev/data/c166:0", "S:serial/by-id/usb-Arduino_Uno_85735313-if00\nE:ID_MM_DEVICE_IGNORE=1\n"}},
               {});
    // The FTDI adapter stands for a pseudo-terminal that another process holds open.
    PtyPair pty;
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(pty.slavePath()).constData(), &status), 0);
    writeFile(system.at(QStringLiteral("sys/class/tty/ttyUSB0/dev")),
              QByteArray::number(major(status.st_rdev)) + ':' + QByteArray::number(minor(status.st_rdev)));
    HeldByAnotherProcess holder([&pty] { return ::open(QFile::encodeName(pty.slavePath()).constData(), O_RDWR) >= 0; });
    ASSERT_TRUE(holder.holding());

    // Copies of a harmless program under the names looked for, as the system lists them.
    QTemporaryDir folder;
    QProcess standIns[2];
    for (int k = 0; k < 2; ++k) {
        const QString copy = folder.filePath(QLatin1String(k == 0 ? "brltty" : "ModemManager"));
        ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), copy));
        standIns[k].start(copy, {QStringLiteral("600")});
        ASSERT_TRUE(standIns[k].waitForStarted());
    }
    SystemPrograms programs;
    ASSERT_TRUE(waitFor([&] {
        programs = systemPrograms(system.root());
        return programs.brltty && programs.modemManager;
    }));
    EXPECT_EQ(programs.brltty->version, QStringLiteral("6.4-4"));

    const PortCheckReport report = checkPorts(portsOf(system), system.root());
    ASSERT_TRUE(report.ports[2].holder);
    EXPECT_FALSE(report.ports[2].holder->name.isEmpty());
    EXPECT_TRUE(report.ports[0].modemManagerIgnores);
    const QString text = reportText(report);
    EXPECT_TRUE(text.contains(QStringLiteral("  held by:        PID "))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\nWarning: brltty 6.4-4 is running (PID "))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("ModemManager")));

    for (QProcess& standIn : standIns) {
        standIn.kill();
        standIn.waitForFinished();
    }
    EXPECT_TRUE(waitFor([&] {
        programs = systemPrograms(system.root());
        return !programs.brltty && !programs.modemManager;
    }));
}

} // namespace
} // namespace ql::test
