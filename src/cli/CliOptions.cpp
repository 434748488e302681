#include "CliOptions.h"

#include "serial/PortMap.h"

#include <QSet>

#include <optional>

namespace ql::cli {

namespace {

constexpr qint64 kLongestTimeoutSeconds = 24 * 60 * 60;

std::optional<qint64> wholeNumber(const QString& text, qint64 low, qint64 high)
{
    if (text.isEmpty())
        return std::nullopt;
    // Digits only: no sign, blanks or hexadecimal.
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

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

ParsedOptions parseOptions(const QStringList& arguments)
{
    ParsedOptions parsed;
    CliOptions& options = parsed.options;
    const auto fail = [&parsed](const QString& error) {
        parsed.error = error;
        return parsed;
    };

    std::optional<Command> command;
    QStringList operands;
    QSet<QString> seen;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments.at(i);
        if (optionsEnded || !name.startsWith(QLatin1Char('-')) || name == QLatin1String("-")) {
            if (!command) {
                command = commandNamed(name);
                if (!command)
                    return fail(QStringLiteral("unknown command '%1'").arg(name));
            } else {
                operands.append(name);
            }
            continue;
        }
        if (name == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        std::optional<QString> value;
        if (name.startsWith(QLatin1String("--")) && name.contains(QLatin1Char('='))) {
            value = name.mid(name.indexOf(QLatin1Char('=')) + 1);
            name.truncate(name.indexOf(QLatin1Char('=')));
        }
        if (seen.contains(name))
            return fail(QStringLiteral("%1 is given twice").arg(name));
        seen.insert(name);

        const bool flag = name == QLatin1String("--help") || name == QLatin1String("-h")
                          || name == QLatin1String("--version") || name == QLatin1String("--quiet")
                          || name == QLatin1String("-q");
        if (flag) {
            if (value)
                return fail(QStringLiteral("%1 takes no value").arg(name));
            if (name == QLatin1String("--quiet") || name == QLatin1String("-q")) {
                options.quiet = true;
                continue;
            }
            options.command = name == QLatin1String("--version") ? Command::Version : Command::Help;
            return parsed;
        }

        if (!value) {
            if (i + 1 >= arguments.size())
                return fail(QStringLiteral("%1 needs a value").arg(name));
            value = arguments.at(++i);
        }
        if (name == QLatin1String("--port")) {
            if (!wholeNumber(*value, PortMap::kFirstPort, PortMap::kLastPort))
                return fail(QStringLiteral("--port: '%1' is not a port number from %2 to %3")
                                .arg(*value)
                                .arg(PortMap::kFirstPort)
                                .arg(PortMap::kLastPort));
            options.port = *value;
        } else if (name == QLatin1String("--device")) {
            if (value->isEmpty() || value->contains(QChar::Null))
                return fail(QStringLiteral("--device: the device path is empty"));
            options.device = *value;
        } else if (name == QLatin1String("--baud")) {
            if (!wholeNumber(*value, 1, 99999999))
                return fail(QStringLiteral("--baud: '%1' is not a baud rate").arg(*value));
            options.baud = *value;
        } else if (name == QLatin1String("--data-bits")) {
            if (!wholeNumber(*value, 5, 8))
                return fail(QStringLiteral("--data-bits: '%1' is not 5, 6, 7 or 8").arg(*value));
            options.dataBits = *value;
        } else if (name == QLatin1String("--stop-bits")) {
            if (*value != QLatin1String("1") && *value != QLatin1String("1.5") && *value != QLatin1String("2"))
                return fail(QStringLiteral("--stop-bits: '%1' is not 1, 1.5 or 2").arg(*value));
            options.stopBits = *value;
        } else if (name == QLatin1String("--timeout")) {
            const auto seconds = wholeNumber(*value, 0, kLongestTimeoutSeconds);
            if (!seconds)
                return fail(QStringLiteral("--timeout: '%1' is not a whole number of seconds from 0 to %2")
                                .arg(*value)
                                .arg(kLongestTimeoutSeconds));
            options.handshakeTimeout = std::chrono::seconds(*seconds);
        } else {
            return fail(QStringLiteral("unknown option '%1'").arg(name));
        }
    }

    if (!command)
        return fail(QStringLiteral("no command given: send, receive or ports"));
    options.command = *command;
    if (options.command == Command::Ports) {
        if (!operands.isEmpty())
            return fail(QStringLiteral("ports takes no file"));
        return parsed;
    }
    if (operands.size() != 1)
        return fail(operands.isEmpty() ? QStringLiteral("no FILE given")
                                       : QStringLiteral("one FILE only, not '%1'").arg(operands.join(QLatin1Char(' '))));
    options.file = operands.first();
    if (options.file.trimmed().isEmpty() || options.file.contains(QChar::Null))
        return fail(QStringLiteral("the FILE name is empty"));
    if (options.port.isEmpty() == options.device.isEmpty())
        return fail(QStringLiteral("name the port with either --port N or --device PATH"));
    return parsed;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: quorvalink-cli send    [options] FILE   send the records of FILE to the hand-held computer\n"
        "       quorvalink-cli receive [options] FILE   receive records from the hand-held computer into FILE\n"
        "       quorvalink-cli ports                    list the port numbers, devices and descriptions\n"
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
        "  0    the transfer succeeded\n"
        "  1    the transfer failed, or a received record cannot be read back from FILE as it came\n"
        "  2    bad usage\n"
        "  3    the port or the file could not be used\n"
        "  130  interrupted\n");
}

} // namespace ql::cli
