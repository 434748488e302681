#pragma once

#include <QDateTime>
#include <QString>

namespace ql::watch {

// What the fields of a file name template stand for in one reception.
struct NameFields {
    QDateTime began; // local time at the begin request
    QString port;    // ttyUSB0, COM3
    QString serial;  // the adapter's serial number, else the port's name
    int reception = 1;
};

// Why the template cannot name files in one folder, or empty when it can.
QString templateProblem(const QString& nameTemplate);

// The file name of the template with its fields filled in. Taken names go on with
// -2, -3 and on (`collision`) before the extension. A field's text that a file
// name cannot hold has those characters as '_'.
QString expandTemplate(const QString& nameTemplate, const NameFields& fields, int collision = 1);

} // namespace ql::watch
