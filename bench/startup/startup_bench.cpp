// What the main window does before it is first shown, step by step: listing the
// system's ports, building the window, and its load with the probe of ports 1 to
// 99, with four virtual ports on pseudo-terminals beside the system's own.

#include "app/frmMainWin.h"
#include "app/QtFileDialog.h"
#include "serial/PortMap.h"
#include "serial/SystemSerialControl.h"

#include <QApplication>
#include <QComboBox>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <pty.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRuns = 15;
constexpr int kVirtualPorts = 4;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Figures {
    std::vector<double> values;

    void print(const char* what)
    {
        std::sort(values.begin(), values.end());
        std::printf("%-34s median %8.2f ms   min %8.2f ms   max %8.2f ms\n", what, values[values.size() / 2],
                    values.front(), values.back());
    }
};

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::vector<int> descriptors;
    for (int n = 1; n <= kVirtualPorts; ++n) {
        int master = -1;
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            std::perror("openpty");
            return 1;
        }
        descriptors.insert(descriptors.end(), {master, slave});
        qputenv(ql::PortMap::variableName(static_cast<qint16>(n)).toLatin1().constData(), name);
    }

    Figures listing;
    Figures building;
    Figures loading;
    Figures probing;
    qsizetype listed = 0;
    qsizetype mapped = 0;
    for (int run = 0; run < kRuns; ++run) {
        auto start = Clock::now();
        const ql::PortMap ports = ql::PortMap::fromSystem();
        listing.values.push_back(msSince(start));
        mapped = ports.entries().size();

        start = Clock::now();
        ql::frmMainWin window(std::make_unique<ql::SystemSerialControl>(ports), std::make_unique<ql::QtFileDialog>());
        window.setPortNames(ports);
        building.values.push_back(msSince(start));

        start = Clock::now();
        window.Form_Load();
        loading.values.push_back(msSince(start));
        listed = window.findChild<QComboBox*>(QStringLiteral("cmbPort"))->count();

        // The probe alone, on a control of its own.
        ql::SystemSerialControl control(ports);
        start = Clock::now();
        for (qint16 number = ql::PortMap::kFirstPort; number <= ql::PortMap::kLastPort; ++number) {
            try {
                control.setCommPort(number);
                control.setPortOpen(true);
                control.setPortOpen(false);
            } catch (const std::exception&) {
            }
        }
        probing.values.push_back(msSince(start));
    }

    std::printf("%lld ports mapped (%d virtual), %lld listed after the probe, %d runs\n",
                static_cast<long long>(mapped), kVirtualPorts, static_cast<long long>(listed), kRuns);
    listing.print("PortMap::fromSystem");
    building.print("frmMainWin constructed");
    loading.print("Form_Load (probe included)");
    probing.print("probe of ports 1 to 99 alone");

    for (const int fd : descriptors)
        ::close(fd);
    return 0;
}
