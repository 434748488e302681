#include "hhcsim/CommandLine.h"

#include <QSet>

#include <optional>

namespace ql::hhcsim {

namespace {

std::optional<qint64> wholeNumber(const QString& text, qint64 low, qint64 high)
{
    bool ok = false;
    // Digits only: no sign, blanks or hexadecimal.
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

} // namespace

ParsedCommandLine parseCommandLine(const QStringList& arguments)
{
    ParsedCommandLine parsed;
    CommandLine& line = parsed.options;
    line.device.linkPath = kDefaultLinkPath;
    Faults& faults = line.device.faults;
    QSet<QString> seen;

    const auto fail = [&parsed](const QString& error) {
        parsed.error = error;
        return parsed;
    };

    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments.at(i);
        std::optional<QString> inlineValue;
        if (name.startsWith(QLatin1String("--")) && name.contains(QLatin1Char('='))) {
            inlineValue = name.mid(name.indexOf(QLatin1Char('=')) + 1);
            name.truncate(name.indexOf(QLatin1Char('=')));
        }
        if (!name.startsWith(QLatin1Char('-')))
            return fail(QStringLiteral("unexpected argument '%1'").arg(name));
        if (seen.contains(name))
            return fail(QStringLiteral("%1 is given twice").arg(name));
        seen.insert(name);

        const auto noValueGiven = [&]() {
            return !inlineValue.has_value();
        };
        std::optional<QString> value;
        const auto takeValue = [&]() -> bool {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < arguments.size()) {
                value = arguments.at(++i);
            } else {
                return false;
            }
            return true;
        };
        const auto number = [&](qint64 low, qint64 high) -> std::optional<qint64> {
            const auto n = wholeNumber(*value, low, high);
            if (!n)
                parsed.error = QStringLiteral("%1: '%2' is not a whole number from %3 to %4")
                                   .arg(name, *value).arg(low).arg(high);
            return n;
        };

        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            if (!noValueGiven())
                return fail(QStringLiteral("%1 takes no value").arg(name));
            line.help = true;
            continue;
        }
        if (name == QLatin1String("--no-answer") || name == QLatin1String("--once")) {
            if (!noValueGiven())
                return fail(QStringLiteral("%1 takes no value").arg(name));
            (name == QLatin1String("--once") ? line.device.once : faults.noAnswer) = true;
            continue;
        }
        static const QStringList kValued = {
            QStringLiteral("--link"),       QStringLiteral("--line"),       QStringLiteral("--mode"),       QStringLiteral("--send-file"),
            QStringLiteral("--receive-file"), QStringLiteral("--quiet-ms"), QStringLiteral("--noise"),
            QStringLiteral("--stop-after"), QStringLiteral("--hangup-after"), QStringLiteral("--slow-read-us"),
            QStringLiteral("--baud"),
        };
        if (!kValued.contains(name))
            return fail(QStringLiteral("unknown option '%1'").arg(name));
        if (!takeValue())
            return fail(QStringLiteral("%1 needs a value").arg(name));

        if (name == QLatin1String("--link") || name == QLatin1String("--line") || name == QLatin1String("--send-file")
            || name == QLatin1String("--receive-file")) {
            if (value->isEmpty())
                return fail(QStringLiteral("%1 needs a path").arg(name));
            (name == QLatin1String("--link")        ? line.device.linkPath
             : name == QLatin1String("--line")      ? line.device.linePath
             : name == QLatin1String("--send-file") ? line.sendFile
                                                    : line.receiveFile) = *value;
        } else if (name == QLatin1String("--mode")) {
            if (*value == QLatin1String("receive"))
                line.device.mode = Mode::Receive;
            else if (*value == QLatin1String("send"))
                line.device.mode = Mode::Send;
            else if (*value == QLatin1String("auto"))
                line.device.mode = Mode::Auto;
            else
                return fail(QStringLiteral("--mode: '%1' is not one of receive, send, auto").arg(*value));
        } else if (name == QLatin1String("--quiet-ms")) {
            const auto n = number(1, 600'000);
            if (!n)
                return parsed;
            line.device.quiet = std::chrono::milliseconds(*n);
        } else if (name == QLatin1String("--noise")) {
            const auto n = number(0, 1'000'000);
            if (!n)
                return parsed;
            faults.noiseBytes = static_cast<int>(*n);
        } else if (name == QLatin1String("--stop-after") || name == QLatin1String("--hangup-after")) {
            const auto n = number(0, 1'000'000);
            if (!n)
                return parsed;
            (name == QLatin1String("--stop-after") ? faults.stopAfter : faults.hangupAfter) = static_cast<int>(*n);
        } else if (name == QLatin1String("--slow-read-us")) {
            const auto n = number(0, 10'000'000);
            if (!n)
                return parsed;
            faults.slowReadPerByte = std::chrono::microseconds(*n);
        } else {
            const auto n = number(50, 4'000'000);
            if (!n)
                return parsed;
            faults.baud = static_cast<int>(*n);
        }
    }

    if (line.help)
        return parsed;
    if (seen.contains(QStringLiteral("--link")) && seen.contains(QStringLiteral("--line")))
        return fail(QStringLiteral("--link has no use with --line"));
    if (line.device.mode == Mode::Send && line.sendFile.isEmpty())
        return fail(QStringLiteral("send mode needs --send-file"));
    if (line.device.mode == Mode::Receive && !line.sendFile.isEmpty())
        return fail(QStringLiteral("--send-file has no use in receive mode"));
    if (line.device.mode == Mode::Send && !line.receiveFile.isEmpty())
        return fail(QStringLiteral("--receive-file has no use in send mode"));
    return parsed;
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
