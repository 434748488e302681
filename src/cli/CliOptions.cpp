#include "CliOptions.h"

#include "common/CommandLineOptions.h"
#include "serial/PortMap.h"
#include "watch/FileNameTemplate.h"

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
    if (name == QLatin1String("watch"))
        return Command::Watch;
    return std::nullopt;
}

// The whole seconds an option gives, 0 included; none, with why in `error`, when
// its value is not such a number.
std::optional<std::chrono::seconds> secondsOption(const QCommandLineParser& parser, const char* name, QString& error)
{
    const QString value = parser.value(QString::fromLatin1(name));
    const auto seconds = wholeNumber(value, 0, kLongestTimeoutSeconds);
    if (seconds)
        return std::chrono::seconds(*seconds);
    error = QStringLiteral("--%1: '%2' is not a whole number of seconds from 0 to %3")
                .arg(QLatin1String(name), value)
                .arg(kLongestTimeoutSeconds);
    return std::nullopt;
}

const char* const kWatchOnly[] = {"all", "into", "name", "journal", "quiet-limit"};

// The options of watch, the line settings being checked already.
QString parseWatchOptions(const QCommandLineParser& parser, const QStringList& operands, CliOptions& options)
{
    watch::WatchOptions& watch = options.watch;
    if (!operands.isEmpty())
        return QStringLiteral("watch takes no file; name the folder with --into");
    if (parser.isSet(QStringLiteral("timeout")))
        return QStringLiteral("watch waits without a --timeout; --quiet-limit ends a reception that stops");
    watch.ports = parser.values(QStringLiteral("port"));
    watch.devices = parser.values(QStringLiteral("device"));
    watch.all = parser.isSet(QStringLiteral("all"));
    for (const QString& port : std::as_const(watch.ports))
        if (!wholeNumber(port, PortMap::kFirstPort, PortMap::kLastPort))
            return QStringLiteral("--port: '%1' is not a port number from %2 to %3")
                .arg(port)
                .arg(PortMap::kFirstPort)
                .arg(PortMap::kLastPort);
    for (const QString& device : std::as_const(watch.devices))
        if (device.isEmpty() || device.contains(QChar::Null))
            return QStringLiteral("--device: the device path is empty");
    if (watch.all == (!watch.ports.isEmpty() || !watch.devices.isEmpty()))
        return QStringLiteral("name the ports with --port N or --device PATH, as often as needed, or with --all");
    watch.into = parser.value(QStringLiteral("into"));
    if (watch.into.isEmpty() || watch.into.contains(QChar::Null))
        return QStringLiteral("name the folder for the received files with --into FOLDER");
    if (parser.isSet(QStringLiteral("name")))
        watch.nameTemplate = parser.value(QStringLiteral("name"));
    if (const QString problem = watch::templateProblem(watch.nameTemplate); !problem.isEmpty())
        return QStringLiteral("--name: ") + problem;
    watch.journal = parser.value(QStringLiteral("journal"));
    if (parser.isSet(QStringLiteral("journal")) && (watch.journal.isEmpty() || watch.journal.contains(QChar::Null)))
        return QStringLiteral("--journal: the file name is empty");
    if (parser.isSet(QStringLiteral("quiet-limit"))) {
        QString error;
        const std::optional<std::chrono::seconds> seconds = secondsOption(parser, "quiet-limit", error);
        if (!seconds)
            return error;
        watch.quietLimit = *seconds;
        if (seconds->count() == 0)
            watch.quietLimit.reset();
    }
    watch.baud = options.baud;
    watch.dataBits = options.dataBits;
    watch.stopBits = options.stopBits;
    watch.quiet = options.quiet;
    return {};
}

} // namespace

QString parseOptions(const QStringList& arguments, CliOptions& options)
{
    QCommandLineParser parser;
    const QString error = parseArguments(
        parser, {"h,help", "version", "q,quiet", "all", "check"},
        {"port", "device", "baud", "data-bits", "stop-bits", "timeout", "into", "name", "journal", "quiet-limit"},
        arguments, {"port", "device"});
    if (!error.isEmpty())
        return error;
    const auto given = [&parser](const char* name) { return parser.isSet(QString::fromLatin1(name)); };
    if (given("help") || given("version")) {
        options.command = given("help") ? Command::Help : Command::Version;
        return {};
    }
    options.quiet = given("quiet");
    options.check = given("check");
    // Checked here only for the other commands: watch takes each --port and --device given.
    const bool watchGiven = parser.positionalArguments().value(0) == QLatin1String("watch");
    for (const char* name : {"port", "device"})
        if (!watchGiven && parser.values(QString::fromLatin1(name)).size() > 1)
            return QStringLiteral("--%1 is given twice").arg(QLatin1String(name));

    const std::pair<const char*, QString*> texts[] = {{"port", &options.port},
                                                      {"device", &options.device},
                                                      {"baud", &options.baud},
                                                      {"data-bits", &options.dataBits},
                                                      {"stop-bits", &options.stopBits}};
    for (const auto& [name, text] : texts) {
        if (given(name))
            *text = parser.value(QString::fromLatin1(name));
    }
    if (given("port") && !watchGiven && !wholeNumber(options.port, PortMap::kFirstPort, PortMap::kLastPort))
        return QStringLiteral("--port: '%1' is not a port number from %2 to %3")
            .arg(options.port)
            .arg(PortMap::kFirstPort)
            .arg(PortMap::kLastPort);
    if (given("device") && !watchGiven && (options.device.isEmpty() || options.device.contains(QChar::Null)))
        return QStringLiteral("--device: the device path is empty");
    if (!wholeNumber(options.baud, 1, 99999999))
        return QStringLiteral("--baud: '%1' is not a baud rate").arg(options.baud);
    if (!wholeNumber(options.dataBits, 5, 8))
        return QStringLiteral("--data-bits: '%1' is not 5, 6, 7 or 8").arg(options.dataBits);
    if (!QStringList {QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")}.contains(options.stopBits))
        return QStringLiteral("--stop-bits: '%1' is not 1, 1.5 or 2").arg(options.stopBits);
    if (given("timeout")) {
        QString wrong;
        const std::optional<std::chrono::seconds> seconds = secondsOption(parser, "timeout", wrong);
        if (!seconds)
            return wrong;
        options.handshakeTimeout = *seconds;
    }

    QStringList operands = parser.positionalArguments();
    if (operands.isEmpty())
        return QStringLiteral("no command given: send, receive, ports or watch");
    const std::optional<Command> command = commandNamed(operands.constFirst());
    if (!command)
        return QStringLiteral("unknown command '%1'").arg(operands.constFirst());
    options.command = *command;
    operands.removeFirst();
    if (options.check && options.command != Command::Ports)
        return QStringLiteral("--check goes with ports only");
    if (options.command == Command::Watch)
        return parseWatchOptions(parser, operands, options);
    for (const char* name : kWatchOnly)
        if (given(name))
            return QStringLiteral("--%1 is for watch only").arg(QLatin1String(name));
    if (options.command == Command::Ports)
        return operands.isEmpty() ? QString() : QStringLiteral("ports takes no file");
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
        "       quorvalink-cli watch   (--port N | --device PATH)... | --all  --into FOLDER [options]\n"
        "                                               receive from every device that sends, again and again\n"
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
        "Options of watch (--port and --device may be given many times):\n"
        "  --all               every serial port the system lists, now and later\n"
        "  --into FOLDER       where each reception goes, as a new file; made when missing\n"
        "  --name TEMPLATE     the file name (default {date}-{time}-{port}.txt); fields {date},\n"
        "                      {time}, {port}, {serial} and {n}; a taken name gets -2, -3 and on\n"
        "  --journal FILE      one JSON line per reception; SIGHUP opens it again\n"
        "  --quiet-limit SECONDS  a reception that receives nothing this long fails (default 60,\n"
        "                      0 for no limit); what came is kept as NAME.partial\n"
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
        "  130  interrupted\n"
        "\n"
        "watch runs until SIGINT or SIGTERM, and then exits with 0 when every record\n"
        "received was written, 3 when one could not be written anywhere, or the folder\n"
        "or the journal cannot be written.\n");
}

} // namespace ql::cli
