#pragma once

#include "serial/PortIdentity.h"
#include "serial/PortMap.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace ql {

// A process that has a port open: its PID (0 where the system does not tell) and name.
struct PortHolder {
    long pid = 0;
    QString name;
};

// One port as a support technician would look at it.
struct PortCheck {
    qint16 number = 0;
    PortIdentity identity;
    // Why this user may not open the port, such as "/dev/ttyUSB0 belongs to group
    // dialout (crw-rw----) and user alice is not in it"; empty when it may.
    QString refusal;
    // What would let the user in, a line each.
    QStringList remedy;
    std::optional<PortHolder> holder;
    // The system's device database tells ModemManager to leave the port alone.
    bool modemManagerIgnores = false;
};

// A program that gets in the way of serial ports, running.
struct RunningProgram {
    long pid = 0;
    QString version; // empty where it cannot be read
};

struct SystemPrograms {
    std::optional<RunningProgram> brltty;
    std::optional<RunningProgram> modemManager;
};

// Something that needs the operator's attention, and the ports it concerns.
struct PortWarning {
    QString text;        // one line
    QStringList details; // what to do, a line each
    QStringList devices;
};

struct PortCheckReport {
    QList<PortCheck> ports;
    QList<PortWarning> warnings;
};

// One file per platform. The system's folders (sys, dev, run/udev, proc,
// var/lib/dpkg) are looked up under `root`, so that a test can give a tree of its
// own; Windows asks its device registry and ignores it.
//
// The port's identity, and whether ModemManager is told to leave it alone.
PortCheck identifyPort(const PortEntry& entry, const QString& root = QStringLiteral("/"));
// Whether this user may open the port, and which process holds it.
void checkPortUse(PortCheck& port, const QString& root = QStringLiteral("/"));
// The programs that get in the way of serial ports, where they run.
SystemPrograms systemPrograms(const QString& root = QStringLiteral("/"));

// Every port of the map, checked, with the warnings that apply.
PortCheckReport checkPorts(const PortMap& ports, const QString& root = QStringLiteral("/"));
// What needs attention on these ports, given the programs running beside them.
QList<PortWarning> portWarnings(const QList<PortCheck>& ports, const SystemPrograms& programs);

// The facts of the identity the system gives, a "label:  value" line each.
QStringList identityLines(const PortIdentity& identity);
// The report as `ports --check` prints it.
QString reportText(const PortCheckReport& report);
// "Warning: " and the text, then each detail on a line of its own, indented.
QString warningText(const PortWarning& warning);
// The warnings that concern `device`.
QList<PortWarning> warningsFor(const QList<PortWarning>& warnings, const QString& device);

} // namespace ql
