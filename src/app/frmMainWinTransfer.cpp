// The main window as the transfers' host: its messages, its records, and the
// Start and Abort commands.
#include "app/frmMainWin.h"

#include "app/WindowControls.h"
#include "app/WindowWaiter.h"
#include "records/RecordList.h"
#include "serial/PortProcedures.h"
#include "transfer/Transfers.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QStringListModel>

namespace ql {

void frmMainWin::postMessage(const QString& text)
{
    lblMsgMgr->setText(text);
    lblMsgMgr_Change();
}

QString frmMainWin::lastMessage() const
{
    return lblMsgMgr->text();
}

void frmMainWin::showStatus(const QString& text)
{
    lblStatus->setText(text);
    lblStatus->repaint();
}

void frmMainWin::lblMsgMgr_Change()
{
    const QString message = lblMsgMgr->text();
    lblStatus->setText(message);

    const int row = m_events->rowCount();
    m_events->insertRows(row, 1);
    const QModelIndex entry = m_events->index(row);
    m_events->setData(entry, message);
    lstEvents->setCurrentIndex(entry);
    lstEvents->scrollTo(entry);

    // Posters often go on with work that does not yield; show the message first.
    repaint();
}

void frmMainWin::EnableSettings(bool enabled)
{
    fmProcesses->setEnabled(enabled);
    fmSettings->setEnabled(enabled);
}

TransferRequest frmMainWin::transferRequest() const
{
    TransferRequest request;
    const QString process = cmbProcess->currentText();
    if (process == kPcToHhc)
        request.direction = Direction::PcToHhc;
    else if (process == kHhcToPc)
        request.direction = Direction::HhcToPc;
    request.line = {cmbPort->currentText(), cmbBaud->currentText(), txtData->text(), txtStop->text()};
    request.file = txtFile->text();
    return request;
}

RecordList& frmMainWin::records()
{
    return *m_records;
}

void frmMainWin::transferStarting()
{
    EnableSettings(false);
}

void frmMainWin::PicStart_Click()
{
    // Hiding PicStart keeps the operator out, but a click already queued would
    // still arrive inside the run's own event processing.
    if (m_run)
        return;
    m_run.emplace(RunContext {*this, *MSCommI, *m_waiter, m_transferState});
    repaint();
    PicAbort->show();
    PicStart->hide();
    PicClose->hide();
    PicHelp->hide();
    SwitchListView(QStringLiteral("E"));
    clearEvents();
    m_lastResult.reset();
    try {
        m_lastResult = StartSelectedProcess(*m_run, transferRequest());
        if (m_lastResult->reason == Reason::OpeningPort)
            explainPortFailure();
    } catch (...) {
        // The Start command goes on to restore its buttons whatever failed.
    }
    // The status line ends on the last message rather than dots or counts.
    showStatus(lastMessage());
    EnableSettings(true);
    PicHelp->show();
    PicClose->show();
    PicStart->show();
    PicAbort->hide();
    m_run.reset();
    if (m_reprobeAfterRun)
        reprobePorts();
    if (m_closePending) {
        m_closePending = false;
        close();
    }
}

void frmMainWin::PicAbort_Click()
{
    if (m_run) {
        m_run->abort();
        m_waiter->wake();
    }
    forcePortClosed(*MSCommI);
}

} // namespace ql
