// The port list of the main window: probing, following devices as they come and
// go, and naming the device behind the selected number.
#include "app/frmMainWin.h"

#include "app/DeviceWatcher.h"
#include "app/PortProbe.h"
#include "app/WindowControls.h"
#include "eventlog/Messages.h"
#include "serial/PortCheck.h"

#include <QAbstractItemView>

namespace ql {

void frmMainWin::probePorts()
{
    if (m_listPorts)
        m_portNames = m_listPorts();
    const PortProbeResult found = ProbePorts(*MSCommI, m_portNames);
    QList<PortCheck> checks;
    for (const qint16 number : found.opened) {
        const std::optional<PortEntry> entry = m_portNames.entry(number);
        checks.append(identifyPort(entry.value_or(PortEntry {number, {}, {}})));
    }
    // A port that opened may be opened and is free; what else gets in its way is the system's.
    const QList<PortWarning> warnings = portWarnings(checks, systemPrograms());
    const QSignalBlocker quiet(cmbPort);
    cmbPort->clear();
    for (const PortCheck& check : checks) {
        cmbPort->addItem(QString::number(check.number));
        cmbPort->setItemData(cmbPort->count() - 1, portToolTip(m_portNames, check, warnings), Qt::ToolTipRole);
    }
    if (cmbPort->count() > 0)
        cmbPort->setCurrentIndex(0);
    showPortDevice();
    for (const QString& reason : found.reasons)
        postMessage(reason);
}

void frmMainWin::reprobePorts()
{
    if (m_run) {
        m_reprobeAfterRun = true;
        return;
    }
    m_reprobeAfterRun = false;
    const qint16 number = static_cast<qint16>(cmbPort->currentText().toInt());
    const std::optional<PortEntry> selected = m_portNames.entry(number);
    const QString selectedText = cmbPort->currentText();

    probePorts();

    // The device decides, as its number can change when others come or go.
    int keep = -1;
    for (int index = 0; index < cmbPort->count() && selected; ++index) {
        const std::optional<PortEntry> entry = m_portNames.entry(static_cast<qint16>(cmbPort->itemText(index).toInt()));
        if (entry && entry->systemName == selected->systemName)
            keep = index;
    }
    if (!selected)
        keep = cmbPort->findText(selectedText);
    if (keep > 0)
        cmbPort->setCurrentIndex(keep);
}

void frmMainWin::watchDevices(const QString& directory)
{
    delete m_deviceWatcher;
    m_deviceWatcher = new DeviceWatcher(directory, this);
    connect(m_deviceWatcher, &DeviceWatcher::devicesChanged, this, [this] {
        // An open list keeps its entries; the next opening probes anyway.
        if (!cmbPort->view()->isVisible())
            reprobePorts();
    });
}

void frmMainWin::showPortDevice()
{
    const QString device = portDescription(m_portNames, static_cast<qint16>(cmbPort->currentText().toInt()));
    cmbPort->setToolTip(device);
    cmbPort->setAccessibleDescription(device);
}

void frmMainWin::explainPortFailure()
{
    const std::optional<PortEntry> entry = m_portNames.entry(static_cast<qint16>(cmbPort->currentText().toInt()));
    if (!entry)
        return;
    PortCheck port = identifyPort(*entry);
    checkPortUse(port);
    for (const PortWarning& warning : portWarnings({port}, systemPrograms()))
        postMessage(msg::portWarning(warning.text, warning.details));
}

void frmMainWin::cmbPort_Change()
{
    const auto number = static_cast<qint16>(cmbPort->currentText().toInt());
    const QString device = portDescription(m_portNames, number);
    if (!device.isEmpty())
        postMessage(msg::portDevice(number, device));
}

} // namespace ql
