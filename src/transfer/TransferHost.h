#pragma once

#include "eventlog/MessagePoster.h"
#include "serial/PortProcedures.h"
#include "transfer/TransferPacing.h"

#include <QString>
#include <QtGlobal>

namespace ql {

class RecordList;

// The main window as the transfer procedures and the Start command see it, so that
// they can run against a test double without any widget.
class TransferHost : public MessagePoster {
public:
    // Runs every waiting window event; returns the number of the program's windows
    // still open (0 when none is left).
    virtual qint16 YieldToWindows() = 0;

    // Enables or disables fmProcesses, then fmSettings.
    virtual void EnableSettings(bool enabled) = 0;

    virtual void SwitchListView(const QString& viewCode) = 0;
    virtual void clearEvents() = 0;

    virtual LineControls lineControls() const = 0;
    virtual QString fileText() const = 0;    // txtFile
    virtual QString processText() const = 0; // cmbProcess
    virtual RecordList& records() = 0;        // lstRecords

    // How the transfers wait: the window's pass counting unless the host brings its own.
    virtual TransferPacing& pacing() { return m_windowPacing; }

private:
    WindowPacing m_windowPacing {*this};
};

} // namespace ql
