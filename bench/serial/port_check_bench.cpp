// What the window adds to each refresh of the port box: every port's identity
// from the system's folders and one look for the programs that get in the way;
// with, for comparison, the full check `ports --check` makes (who may open each
// port and which process holds it).

#include "Measure.h"
#include "serial/PortCheck.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

using ql::bench::Clock;
using ql::bench::seconds;

constexpr int kRounds = 200;

template <typename Work>
double millisecondsEach(Work work)
{
    const auto start = Clock::now();
    for (int round = 0; round < kRounds; ++round)
        work();
    return seconds(Clock::now() - start) * 1000 / kRounds;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const ql::PortMap ports = ql::PortMap::fromSystem();
    const double refresh = millisecondsEach([&ports] {
        QList<ql::PortCheck> checks;
        for (const ql::PortEntry& entry : ports.entries())
            checks.append(ql::identifyPort(entry));
        return ql::portWarnings(checks, ql::systemPrograms()).size();
    });
    const double identities = millisecondsEach([&ports] {
        qsizetype found = 0;
        for (const ql::PortEntry& entry : ports.entries())
            found += ql::identifyPort(entry).identity.driver.size();
        return found;
    });
    const double full = millisecondsEach([&ports] { return ql::checkPorts(ports).warnings.size(); });
    std::printf("ports: %lld\n", static_cast<long long>(ports.entries().size()));
    std::printf("port box refresh (identities, programs): %.3f ms\n", refresh);
    std::printf("  of which identities: %.3f ms\n", identities);
    std::printf("ports --check (with access and holders): %.3f ms\n", full);
    std::printf("peak memory: %ld KiB\n", ql::bench::peakKb());
    return 0;
}
