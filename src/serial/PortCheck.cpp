#include "serial/PortCheck.h"

#include <QRegularExpression>

namespace ql {

namespace {

// Wide enough for the longest label, "serial number:", and two spaces.
constexpr qsizetype kLabelWidth = 16;
const QString kIndent = QStringLiteral("  ");
const QString kDetailIndent = QStringLiteral("    ");

QString factLine(const char* label, const QString& value)
{
    return (QLatin1String(label) + QLatin1Char(':')).leftJustified(kLabelWidth) + value;
}

// Versions before 6.5 claim the common USB serial adapters as braille displays.
bool claimsSerialAdapters(const QString& version)
{
    static const QRegularExpression numbers(QStringLiteral("^(?:\\d+:)?(\\d+)\\.(\\d+)"));
    const QRegularExpressionMatch match = numbers.match(version);
    if (!match.hasMatch())
        return true;
    const int major = match.captured(1).toInt();
    return major < 6 || (major == 6 && match.captured(2).toInt() < 5);
}

// A text udev takes between quotes as it stands.
bool udevQuotable(const QString& text)
{
    for (const QChar c : text) {
        if (c < QLatin1Char(' ') || c > QLatin1Char('~') || c == QLatin1Char('"') || c == QLatin1Char('\\'))
            return false;
    }
    return true;
}

// The rule that keeps ModemManager off this one adapter.
QString modemManagerRule(const PortIdentity& identity)
{
    QString rule = QStringLiteral("ATTRS{idVendor}==\"%1\", ATTRS{idProduct}==\"%2\", ")
                       .arg(identity.vendorId, identity.productId);
    if (!identity.serialNumber.isEmpty() && udevQuotable(identity.serialNumber))
        rule += QStringLiteral("ATTRS{serial}==\"%1\", ").arg(identity.serialNumber);
    return rule + QStringLiteral("ENV{ID_MM_DEVICE_IGNORE}=\"1\"");
}

QString holderText(const PortHolder& holder)
{
    return holder.pid == 0 ? holder.name : QStringLiteral("PID %1 (%2)").arg(holder.pid).arg(holder.name);
}

} // namespace

PortCheckReport checkPorts(const PortMap& ports, const QString& root)
{
    PortCheckReport report;
    for (const PortEntry& entry : ports.entries()) {
        PortCheck port = identifyPort(entry, root);
        checkPortUse(port, root);
        report.ports.append(port);
    }
    report.warnings = portWarnings(report.ports, systemPrograms(root));
    return report;
}

QList<PortWarning> portWarnings(const QList<PortCheck>& ports, const SystemPrograms& programs)
{
    QList<PortWarning> warnings;
    QStringList adapters;
    for (const PortCheck& port : ports) {
        const QString& device = port.identity.device;
        if (!port.refusal.isEmpty())
            warnings.append({port.refusal, port.remedy, {device}});
        if (port.holder)
            warnings.append({QStringLiteral("%1 is held by %2").arg(device, holderText(*port.holder)),
                             {QStringLiteral("close that program before a transfer")},
                             {device}});
        if (!port.identity.vendorId.isEmpty())
            adapters.append(device);
        if (programs.modemManager && port.identity.portName().startsWith(QLatin1String("ttyACM"))
            && !port.modemManagerIgnores) {
            PortWarning warning {QStringLiteral("ModemManager is running and may send AT commands to %1, which the "
                                                "hand-held computer would take as data")
                                     .arg(device),
                                 {},
                                 {device}};
            if (!port.identity.vendorId.isEmpty())
                warning.details
                    = QStringList {QStringLiteral("keep it off this adapter with this line in a file in "
                                                  "/etc/udev/rules.d/, then run: udevadm control --reload && "
                                                  "udevadm trigger"),
                                   modemManagerRule(port.identity)};
            warnings.append(warning);
        }
    }
    if (programs.brltty && !adapters.isEmpty() && claimsSerialAdapters(programs.brltty->version)) {
        const QString name = programs.brltty->version.isEmpty()
            ? QStringLiteral("brltty")
            : QStringLiteral("brltty %1").arg(programs.brltty->version);
        warnings.append({QStringLiteral("%1 is running (PID %2) and may claim %3 as a braille display: the port "
                                        "vanishes a moment after it appears")
                             .arg(name)
                             .arg(programs.brltty->pid)
                             .arg(adapters.join(QStringLiteral(", "))),
                         {QStringLiteral("without a braille display: systemctl stop brltty-udev.service "
                                         "brltty.service && systemctl mask brltty-udev.service brltty.service"),
                          QStringLiteral("with one: upgrade brltty to 6.5 or later")},
                         adapters});
    }
    return warnings;
}

QStringList identityLines(const PortIdentity& identity)
{
    QStringList lines;
    const auto add = [&lines](const char* label, const QString& value) {
        if (!value.isEmpty())
            lines.append(factLine(label, value));
    };
    if (!identity.byId.isEmpty())
        add("stable name", identity.byId);
    else if (!identity.usbPath.isEmpty())
        add("stable name", QStringLiteral("USB path ") + identity.usbPath);
    else
        add("stable name", QStringLiteral("(none)"));
    add("description", identity.description);
    add("driver", identity.driver);
    add("provider", identity.driverProvider);
    add("driver version", identity.driverVersion);
    if (!identity.vendorId.isEmpty())
        add("USB ids", identity.vendorId + QLatin1Char(':') + identity.productId);
    add("manufacturer", identity.manufacturer);
    add("product", identity.product);
    add("serial number", identity.serialNumber);
    if (identity.latencyTimerMs)
        add("latency timer", QStringLiteral("%1 ms").arg(*identity.latencyTimerMs));
    return lines;
}

QString reportText(const PortCheckReport& report)
{
    QStringList blocks;
    for (const PortCheck& port : report.ports) {
        QStringList lines {QStringLiteral("Port %1  %2").arg(port.number).arg(port.identity.device)};
        for (const QString& line : identityLines(port.identity))
            lines.append(kIndent + line);
        lines.append(kIndent
                     + factLine("access", port.refusal.isEmpty() ? QStringLiteral("may be opened")
                                                                 : QStringLiteral("cannot be opened: ") + port.refusal));
        lines.append(kIndent + factLine("held by", port.holder ? holderText(*port.holder) : QStringLiteral("nobody")));
        blocks.append(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    }
    QString text = blocks.join(QLatin1Char('\n'));
    if (!report.warnings.isEmpty() && !text.isEmpty())
        text += QLatin1Char('\n');
    for (const PortWarning& warning : report.warnings)
        text += warningText(warning) + QLatin1Char('\n');
    return text;
}

QString warningText(const PortWarning& warning)
{
    QString text = QStringLiteral("Warning: ") + warning.text;
    for (const QString& detail : warning.details)
        text += QLatin1Char('\n') + kDetailIndent + detail;
    return text;
}

QList<PortWarning> warningsFor(const QList<PortWarning>& warnings, const QString& device)
{
    QList<PortWarning> concerning;
    for (const PortWarning& warning : warnings) {
        if (warning.devices.contains(device))
            concerning.append(warning);
    }
    return concerning;
}

} // namespace ql
