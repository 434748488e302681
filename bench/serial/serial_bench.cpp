// Throughput of the serial control over a pseudo-terminal pair: paced writes (one
// character after the output count reads 0), single-character reads behind the
// input-count check, and one bulk write of the same bytes for comparison.

#include "Measure.h"
#include "serial/PortMap.h"
#include "serial/PortProcedures.h"
#include "serial/SystemSerialControl.h"
#include "support/PtyPair.h"

#include <QCoreApplication>
#include <QProcessEnvironment>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>

namespace {

using ql::bench::Clock;
using ql::bench::seconds;
using ql::test::PtyPair;

constexpr int kChars = 1 << 20;
constexpr qint16 kPort = 1;
// The longest record a transfer hands to SendPaced.
constexpr qsizetype kLongestRecord = 32767;

std::unique_ptr<ql::SystemSerialControl> openControl(const PtyPair& pty)
{
    QProcessEnvironment environment;
    environment.insert(ql::PortMap::variableName(kPort), pty.slavePath());
    auto control = std::make_unique<ql::SystemSerialControl>(ql::PortMap::fromRule(environment, {}));
    ql::OpenSerialPort(*control, ql::LineControls {QString::number(kPort), QStringLiteral("921600"),
                                                 QStringLiteral("8"), QStringLiteral("1")});
    return control;
}

// The characters a second that reach the far end while `write` hands `text` to the control.
double writeRate(const char* what, const QString& text, const std::function<void(ql::SystemSerialControl&)>& write)
{
    PtyPair pty;
    const auto control = openControl(pty);
    qint64 received = 0;
    std::thread reader([&] { received = pty.read(text.size(), std::chrono::seconds(60)).size(); });
    const auto start = Clock::now();
    write(*control);
    reader.join();
    const double rate = received / seconds(Clock::now() - start);
    if (received != text.size())
        std::printf("%s lost characters: %lld of %lld\n", what, static_cast<long long>(received),
                    static_cast<long long>(text.size()));
    return rate;
}

double bulkWrite(const QString& text)
{
    return writeRate("bulk write", text, [&text](ql::SystemSerialControl& control) {
        control.setOutput(text);
        while (control.OutBufferCount() != 0) {
        }
    });
}

double pacedWrite(const QString& text)
{
    return writeRate("paced write", text, [&text](ql::SystemSerialControl& control) {
        for (qsizetype sent = 0; sent < text.size(); sent += kLongestRecord) {
            if (!ql::SendPaced(control, text.mid(sent, kLongestRecord))) {
                std::printf("paced write stalled\n");
                break;
            }
        }
    });
}

double singleReads(qint64 count)
{
    PtyPair pty;
    const auto controlOwner = openControl(pty);
    auto& control = *controlOwner;
    QByteArray bytes(count, Qt::Uninitialized);
    for (qint64 i = 0; i < count; ++i)
        bytes[i] = static_cast<char>('A' + i % 26);
    std::thread writer([&] { pty.write(bytes); });
    const auto start = Clock::now();
    qint64 got = 0;
    const auto deadline = start + std::chrono::seconds(30);
    while (got < count && Clock::now() < deadline) {
        if (control.InBufferCount() > 0)
            got += control.Input().size();
    }
    const double rate = got / seconds(Clock::now() - start);
    writer.join();
    if (got != count)
        std::printf("reads lost characters: %lld of %lld\n", static_cast<long long>(got),
                    static_cast<long long>(count));
    return rate;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QString text(kChars, Qt::Uninitialized);
    for (int i = 0; i < kChars; ++i)
        text[i] = QChar(static_cast<char16_t>('a' + i % 26));

    // One part alone, for profiling: serial_bench bulk|paced|reads
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const double bulk = only.isEmpty() || only == QLatin1String("bulk") ? bulkWrite(text) : 1.0;
    const double paced = only.isEmpty() || only == QLatin1String("paced") ? pacedWrite(text) : 0.0;
    const double reads = only.isEmpty() || only == QLatin1String("reads") ? singleReads(kChars) : 0.0;

    std::printf("%-30s %12.0f chars/s\n", "bulk write", bulk);
    std::printf("%-30s %12.0f chars/s  %5.1f%% of bulk  (target 400000)\n", "paced write (SendPaced)", paced,
                100.0 * paced / bulk);
    std::printf("%-30s %12.0f chars/s  %5.1f%% of bulk  (target 600000)\n", "single reads (InBufferCount)", reads,
                100.0 * reads / bulk);
    return paced >= 400000 && reads >= 600000 ? 0 : 2;
}
