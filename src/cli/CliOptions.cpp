#include "CliOptions.h"

#include "common/CommandLineOptions.h"
#include "serial/PortMap.h"

#include <optional>
#include <utility>

namespace ql::cli {

namespace {

constexpr qint64 kLongestTimeoutSeconds = 24 * 60 * 60;

std::optional<Command> commandNamed(const QString& name)
{
    if (name == QLatin1String("send"))
        return Command::Send;
    if (name == QLatin1String("receive"))
        return Command::Receive;
    if (name == QLatin1String("ports"))
        return Command::Ports;
    return std::nullopt;
}

} // namespace

QString parseOptions(const QStringList& arguments, CliOptions& options)
{
    QCommandLineParser parser;
    const QString error = parseArguments(parser, {"h,help", "version", "q,quiet", "check"},
                                         {"port", "device", "baud", "data-bits", "stop-bits", "timeout"}, arguments);
    if (!error.isEmpty())
        return error;
    const auto given = [&parser](const char* name) { return parser.isSet(QString::fromLatin1(name)); };
    if (given("help") || given("version")) {
        options.command = given("help") ? Command::Help : Command::Version;
        return {};
    }
    options.quiet = given("quiet");
    options.check = given("check");

    const std::pair<const char*, QString*> texts[] = {{"port", &options.port},
                                                      {"device", &options.device},
                                                      {"baud", &options.baud},
                                                      {"data-bits", &options.dataBits},
                                                      {"stop-bits", &options.stopBits}};
    for (const auto& [name, text] : texts) {
        if (given(name))
            *text = parser.value(QString::fromLatin1(name));
    }
    if (given("port") && !wholeNumber(options.port, PortMap::kFirstPort, PortMap::kLastPort))
        return QStringLiteral("--port: '%1' is not a port number from %2 to %3")
            .arg(options.port)
            .arg(PortMap::kFirstPort)
            .arg(PortMap::kLastPort);
    if (given("device") && (options.device.isEmpty() || options.device.contains(QChar::Null)))
        return QStringLiteral("--device: the device path is empty");
    if (!wholeNumber(options.baud, 1, 99999999))
        return QStringLiteral("--baud: '%1' is not a baud rate").arg(options.baud);
    if (!wholeNumber(options.dataBits, 5, 8))
        return QStringLiteral("--data-bits: '%1' is not 5, 6, 7 or 8").arg(options.dataBits);
    if (!QStringList {QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")}.contains(options.stopBits))
        return QStringLiteral("--stop-bits: '%1' is not 1, 1.5 or 2").arg(options.stopBits);
    if (given("timeout")) {
        const QString value = parser.value(QStringLiteral("timeout"));
        const auto seconds = wholeNumber(value, 0, kLongestTimeoutSeconds);
        if (!seconds)
            return QStringLiteral("--timeout: '%1' is not a whole number of seconds from 0 to %2")
                .arg(value)
                .arg(kLongestTimeoutSeconds);
        options.handshakeTimeout = std::chrono::seconds(*seconds);
    }

    QStringList operands = parser.positionalArguments();
    if (operands.isEmpty())
        return QStringLiteral("no command given: send, receive or ports");
    const std::optional<Command> command = commandNamed(operands.constFirst());
    if (!command)
        return QStringLiteral("unknown command '%1'").arg(operands.constFirst());
    options.command = *command;
    operands.removeFirst();
    if (options.command == Command::Ports)
        return operands.isEmpty() ? QString() : QStringLiteral("ports takes no file");
    if (options.check)
        return QStringLiteral("--check goes with ports only");
    if (operands.size() != 1)
        return operands.isEmpty() ? QStringLiteral("no FILE given")
                                  : QStringLiteral("one FILE only, not '%1'").arg(operands.join(QLatin1Char(' ')));
    options.file = operands.first();
    if (options.file.trimmed().isEmpty() || options.file.contains(QChar::Null))
        return QStringLiteral("the FILE name is empty");
    if (options.port.isEmpty() == options.device.isEmpty())
        return QStringLiteral("name the port with either --port N or --device PATH");
    return {};
}

QString usageText()
{
    return QStringLiteral(
        "Usage: quorvalink-cli send    [options] FILE   send the records of FILE to the hand-held computer\n"
        "       quorvalink-cli receive [options] FILE   receive records from the hand-held computer into FILE\n"
        "       quorvalink-cli ports                    list the port numbers, devices and descriptions\n"
        "       quorvalink-cli ports --check            what each port is, whether it may be opened, who holds\n"
        "                                               it, and what on this system gets in its way\n"
        "\n"
        "Options:\n"
        "  --port N            the port, numbered as the window numbers them (1 to 99)\n"
        "  --device PATH       the serial device itself, instead of --port\n"
        "  --baud RATE         baud rate (default 115200)\n"
        "  --data-bits N       5, 6, 7 or 8 (default 8)\n"
        "  --stop-bits N       1, 1.5 or 2 (default 1)\n"
        "  --timeout SECONDS   how long to wait for the device to start (default 60, 0 for no limit)\n"
        "  -q, --quiet         print nothing unless the run fails\n"
        "  -h, --help          show this help\n"
        "      --version       show the version\n"
        "\n"
        "Each event of the run is one line on standard output, with a time stamp, and\n"
        "the run ends with a summary line. SIGINT, SIGTERM, SIGHUP and every other signal\n"
        "that would end the program abort the run, keeping what was received; a closed\n"
        "standard output changes nothing. On a pseudo-terminal, success means that the\n"
        "last character was handed to the system: nothing tells whether the device read it.\n"
        "\n"
        "Exit status:\n"
        "  0    the transfer succeeded; for ports --check, nothing needs attention\n"
        "  1    the transfer failed, or a received record cannot be read back from FILE as it came;\n"
        "       for ports --check, a warning was printed\n"
        "  2    bad usage\n"
        "  3    the port or the file could not be used\n"
        "  130  interrupted\n");
}

} // namespace ql::cli
