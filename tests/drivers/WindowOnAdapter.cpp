// The window on the USB serial adapter, run by scripts/test-drivers in the virtual
// machine: a send, a reception cut by unplugging the adapter, and a send once it is
// plugged back. The host acts between the steps: this program makes FOLDER/<step>
// when it gets to one, and waits for FOLDER/go-<step> where the host goes first.
//   test_drivers_window FOLDER RECORDS
// Prints one line a check and exits with 1 when any failed.
#include "app/frmMainWin.h"
#include "eventlog/Messages.h"
#include "records/RecordList.h"
#include "serial/PortMap.h"
#include "serial/SystemSerialControl.h"
#include "support/ScriptedFileDialog.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <functional>

using namespace ql;

namespace {

int g_failures = 0;

void check(bool passed, const char* what, const QString& detail = {})
{
    g_failures += passed ? 0 : 1;
    std::printf("%s  window: %s%s\n", passed ? "PASS" : "FAIL", what,
                detail.isEmpty() ? "" : qPrintable(QStringLiteral("  (%1)").arg(detail)));
    std::fflush(stdout);
}

bool waitUntil(const std::function<bool()>& condition, int boundMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!condition()) {
        if (elapsed.elapsed() > boundMs)
            return false;
        QTest::qWait(20);
    }
    return true;
}

class Steps {
public:
    explicit Steps(QString folder) : m_folder(std::move(folder)) {}
    void reached(const char* step) const { QFile(m_folder + QLatin1Char('/') + QLatin1String(step)).open(QIODevice::WriteOnly); }
    bool go(const char* step) const
    {
        const QString name = m_folder + QStringLiteral("/go-") + QLatin1String(step);
        return waitUntil([&name] { return QFile::exists(name); }, 60000);
    }

private:
    QString m_folder;
};

// The port box's entry for the adapter: its number and its tooltip, or nothing.
std::pair<QString, QString> adapterEntry(const QComboBox& ports)
{
    for (int index = 0; index < ports.count(); ++index) {
        const QString tip = ports.itemData(index, Qt::ToolTipRole).toString();
        if (tip.startsWith(QStringLiteral("/dev/ttyUSB")))
            return {ports.itemText(index), tip};
    }
    return {};
}

bool describesAdapter(const QString& tip)
{
    return tip.contains(QStringLiteral(" \u2014 ")) && !tip.section(QStringLiteral(" \u2014 "), 1).trimmed().isEmpty();
}

QStringList events(const frmMainWin& window)
{
    const QAbstractItemModel* model = window.findChild<QListView*>(QStringLiteral("lstEvents"))->model();
    QStringList out;
    for (int row = 0; row < model->rowCount(); ++row)
        out.append(model->index(row, 0).data().toString());
    return out;
}

QString lastEvents(const frmMainWin& window)
{
    return events(window).join(QStringLiteral(" | ")).right(200);
}

void click(frmMainWin& window, const char* name)
{
    QTest::mouseClick(window.findChild<QWidget*>(QLatin1String(name)), Qt::LeftButton);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: test_drivers_window FOLDER RECORDS\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString recordsPath = QString::fromLocal8Bit(argv[2]);
    const Steps steps(folder);

    auto serial = std::make_unique<SystemSerialControl>(PortMap());
    SystemSerialControl& control = *serial;
    auto dialog = std::make_unique<test::ScriptedFileDialog>(recordsPath);
    frmMainWin window(std::move(serial), std::move(dialog));
    window.setPortLister([&control] {
        control.setPorts(PortMap::fromSystem());
        return control.ports();
    });
    window.watchDevices(QStringLiteral("/dev"));
    window.Form_Load();
    window.show();
    auto& ports = *window.findChild<QComboBox*>(QStringLiteral("cmbPort"));

    auto [number, tip] = adapterEntry(ports);
    check(describesAdapter(tip), "the port box offers the adapter with its description", tip);

    // The host starts the device for each send before it lets the window go.
    const auto send = [&](const char* step, const char* what, const QString& detail) {
        steps.reached(step);
        steps.go(step);
        window.clearEvents();
        window.setProcessIndex(0);
        click(window, "cmdBrowse");
        ports.setEditText(number);
        click(window, "PicStart");
        check(events(window).contains(msg::kTransferSucceeded) && !events(window).contains(msg::kTransferFailed), what,
              detail.isEmpty() ? lastEvents(window) : detail);
    };
    send("send", "sends 2,000 records", {});

    // The host sends once the window waits for the device.
    QTimer watch;
    bool receiving = false;
    const auto receive = [&](const char* step, const QString& file, bool unplugged) {
        window.transferState().strHhc2PcFile = folder + QLatin1Char('/') + file;
        window.setProcessIndex(1);
        QObject::disconnect(&watch, nullptr, nullptr, nullptr);
        QObject::connect(&watch, &QTimer::timeout, &watch, [&, step] {
            if (window.isRunning() && !QFile::exists(folder + QLatin1Char('/') + QLatin1String(step)))
                steps.reached(step);
            // The host unplugs once records are coming in.
            if (unplugged && !receiving && window.records().count() >= 200) {
                receiving = true;
                steps.reached("unplug");
            }
        });
        watch.start(20);
        ports.setEditText(number);
        click(window, "PicStart");
        watch.stop();
    };
    receive("receive-all", QStringLiteral("all.txt"), false);
    check(events(window).contains(msg::kReceptionCompleted) && window.records().count() == 2000,
          "receives 2,000 records", lastEvents(window));

    // At 9,600 baud the host has time to unplug in the middle.
    auto& baud = *window.findChild<QComboBox*>(QStringLiteral("cmbBaud"));
    baud.setEditText(QStringLiteral("9600"));
    receive("receive", QStringLiteral("received.txt"), true);
    steps.reached("receive-ended");
    check(receiving && !events(window).contains(msg::kReceptionCompleted),
          "a reception fails when the adapter is unplugged", lastEvents(window));

    check(waitUntil([&ports] { return adapterEntry(ports).first.isEmpty(); }, 10000),
          "the port box no longer offers the unplugged adapter");
    const std::clock_t before = std::clock();
    QTest::qWait(1000);
    const double busy = static_cast<double>(std::clock() - before) / CLOCKS_PER_SEC;
    check(busy < 0.2, "the processor stays idle after the unplug", QStringLiteral("%1 s in 1 s").arg(busy));

    steps.reached("replug");
    check(waitUntil([&ports] { return describesAdapter(adapterEntry(ports).second); }, 20000),
          "the port box offers the adapter again with its description", adapterEntry(ports).second);
    std::tie(number, tip) = adapterEntry(ports);
    baud.setEditText(QStringLiteral("115200"));
    send("resend", "sends on the adapter plugged back", tip);
    steps.reached("done");
    return g_failures == 0 ? 0 : 1;
}
