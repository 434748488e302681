#include "hhcsim/CommandLine.h"

#include "common/CommandLineOptions.h"

#include <functional>
#include <optional>
#include <tuple>
#include <utility>

namespace ql::hhcsim {

QString parseCommandLine(const QStringList& arguments, CommandLine& line)
{
    line.device.linkPath = kDefaultLinkPath;
    QCommandLineParser parser;
    const QString error = parseArguments(parser, {"h,help", "no-answer", "once"},
                                         {"link", "line", "mode", "send-file", "receive-file", "quiet-ms", "noise",
                                          "stop-after", "hangup-after", "slow-read-us", "baud"},
                                         arguments);
    if (!error.isEmpty())
        return error;
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().constFirst());
    const auto given = [&parser](const char* name) { return parser.isSet(QString::fromLatin1(name)); };
    const auto value = [&parser](const char* name) { return parser.value(QString::fromLatin1(name)); };

    const std::pair<const char*, QString*> paths[] = {{"link", &line.device.linkPath},
                                                      {"line", &line.device.linePath},
                                                      {"send-file", &line.sendFile},
                                                      {"receive-file", &line.receiveFile}};
    for (const auto& [name, path] : paths) {
        if (!given(name))
            continue;
        *path = value(name);
        if (path->isEmpty())
            return QStringLiteral("--%1 needs a path").arg(QLatin1String(name));
    }
    if (given("mode")) {
        const QString mode = value("mode");
        if (mode == QLatin1String("receive"))
            line.device.mode = Mode::Receive;
        else if (mode == QLatin1String("send"))
            line.device.mode = Mode::Send;
        else if (mode == QLatin1String("auto"))
            line.device.mode = Mode::Auto;
        else
            return QStringLiteral("--mode: '%1' is not one of receive, send, auto").arg(mode);
    }
    Faults& faults = line.device.faults;
    const std::tuple<const char*, qint64, qint64, std::function<void(qint64)>> numbers[] = {
        {"quiet-ms", 1, 600'000, [&](qint64 n) { line.device.quiet = std::chrono::milliseconds(n); }},
        {"noise", 0, 1'000'000, [&](qint64 n) { faults.noiseBytes = static_cast<int>(n); }},
        {"stop-after", 0, 1'000'000, [&](qint64 n) { faults.stopAfter = static_cast<int>(n); }},
        {"hangup-after", 0, 1'000'000, [&](qint64 n) { faults.hangupAfter = static_cast<int>(n); }},
        {"slow-read-us", 0, 10'000'000, [&](qint64 n) { faults.slowReadPerByte = std::chrono::microseconds(n); }},
        {"baud", 50, 4'000'000, [&](qint64 n) { faults.baud = static_cast<int>(n); }},
    };
    for (const auto& [name, low, high, store] : numbers) {
        if (!given(name))
            continue;
        const std::optional<qint64> n = wholeNumber(value(name), low, high);
        if (!n)
            return QStringLiteral("--%1: '%2' is not a whole number from %3 to %4")
                .arg(QLatin1String(name), value(name))
                .arg(low)
                .arg(high);
        store(*n);
    }
    faults.noAnswer = given("no-answer");
    line.device.once = given("once");

    line.help = given("help");
    if (line.help)
        return {};
    if (given("link") && given("line"))
        return QStringLiteral("--link has no use with --line");
    if (line.device.mode == Mode::Send && line.sendFile.isEmpty())
        return QStringLiteral("send mode needs --send-file");
    if (line.device.mode == Mode::Receive && !line.sendFile.isEmpty())
        return QStringLiteral("--send-file has no use in receive mode");
    if (line.device.mode == Mode::Send && !line.receiveFile.isEmpty())
        return QStringLiteral("--receive-file has no use in send mode");
    return {};
}

QString usageText()
{
    return QStringLiteral(
        "Usage: quorvalink-hhcsim [options]\n"
        "\n"
        "Plays the hand-held computer at the far end of a virtual serial line. It makes\n"
        "a pseudo-terminal pair and publishes the PC side as a symbolic link; start\n"
        "Quorvalink with QUORVALINK_COM1=<link> to use it as port 1.\n"
        "\n"
        "Options:\n"
        "  --link PATH          the link to create (default /tmp/quorvalink-hhc)\n"
        "  --line PATH          talk on this line instead: a unix socket to connect to,\n"
        "                       such as a virtual machine's serial port, or a terminal.\n"
        "                       The PC's opens and closes cannot be seen there, so a\n"
        "                       session starts at once and the device ends when the\n"
        "                       far end goes\n"
        "  --mode MODE          receive: answer the PC's \"^\" and collect records until \"$\"\n"
        "                       send: send \"^\", wait for the answer, send the records\n"
        "                       auto: tell the direction by what the PC does after\n"
        "                       opening the port, session after session (default)\n"
        "  --send-file FILE     the records to send, one a line (CR LF or CR ends a line);\n"
        "                       needed in send mode. An empty file is refused: the\n"
        "                       protocol cannot carry an empty set; a file holding one\n"
        "                       empty line sends \"$\" alone, one empty record\n"
        "  --receive-file FILE  where each received set is written, every record followed\n"
        "                       by CR LF (default standard output). A record holding a\n"
        "                       CR does not read back as it was\n"
        "  --quiet-ms N         auto mode: how long the PC has after opening to send its\n"
        "                       \"^\" before the device starts sending; send mode: the\n"
        "                       pause after the PC opens (default 1000)\n"
        "  --once               exit after one session\n"
        "  -h, --help           show this text\n"
        "\n"
        "Faults, for testing the PC program:\n"
        "  --no-answer          never answer the PC's \"^\" / never send the begin request\n"
        "  --noise N            send N noise bytes (never \"^\") before the \"^\"\n"
        "  --stop-after K       sending: send K records, then fall silent;\n"
        "                       receiving: stop reading after K records\n"
        "  --hangup-after K     hang up the line after K records sent or received; the\n"
        "                       link then points at a fresh line\n"
        "  --slow-read-us N     read one byte at a time, N microseconds apart\n"
        "  --baud N             pace the line to N baud (N/10 characters a second) both ways\n"
        "\n"
        "Events are printed to standard error, one a line. SIGINT or SIGTERM ends the\n"
        "device and removes the link. Exit status: 0 done, 1 the device could not run,\n"
        "2 bad command line.\n");
}

} // namespace ql::hhcsim
