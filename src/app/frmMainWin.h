#pragma once

#include "records/FileDialog.h"
#include "serial/PortMap.h"
#include "serial/SerialControl.h"
#include "transfer/TransferHost.h"
#include "transfer/TransferState.h"

#include <QKeySequence>
#include <QList>
#include <QPoint>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QCloseEvent;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListView;
class QMouseEvent;
class QStringListModel;

namespace ql {

class ClickLabel;
class DeviceWatcher;
class FlatFrame;
class ListOpeningComboBox;
class PictureBox;
class RecordList;
class WindowWaiter;
class WindowSystem;

// The main window: a frameless window that draws its own title band and frame,
// with the settings, the direction and data file, the two list views and the
// status line. It owns the transfer state and the serial control.
//
// Every control carries its design name as its objectName.
class frmMainWin final : public QWidget, public TransferHost {
    Q_OBJECT

public:
    // A null MSCommI gets a control that knows no ports; a null comFile gets the
    // system's file dialogs.
    explicit frmMainWin(std::unique_ptr<SerialControl> MSCommI = nullptr,
                        std::unique_ptr<FileDialog> comFile = nullptr, QWidget* parent = nullptr);
    ~frmMainWin() override;

    // Gets the window ready before it is first shown: caption and title band, the
    // protocol characters, the two data-file paths of the argument text ("send#recv"),
    // the PC->HHC direction, and the list of the ports that open now.
    void Form_Load(const QString& argumentText = {});

    // The devices behind the port numbers, named in the tooltips of cmbPort. Give
    // it before Form_Load.
    void setPortNames(PortMap ports) { m_portNames = std::move(ports); }
    // Lists the devices afresh at every probe, for the serial control too; it
    // replaces the names given above.
    void setPortLister(std::function<PortMap()> lister) { m_listPorts = std::move(lister); }
    // Probes the ports again whenever devices come or go in the directory.
    void watchDevices(const QString& directory);

    // A null window system gets Qt's own.
    void setWindowSystem(std::unique_ptr<WindowSystem> windowSystem);

    // The keys that stand for the clickable commands.
    static const QList<QKeySequence> kStartKeys;
    static const QList<QKeySequence> kAbortKeys;
    static const QList<QKeySequence> kBrowseKeys;
    static const QList<QKeySequence> kViewKeys;
    static const QList<QKeySequence> kHelpKeys;
    static const QList<QKeySequence> kCloseKeys;

    // Whether the Start command is running, a transfer included.
    bool isRunning() const { return m_run.has_value(); }
    // What the last Start command's run did; none when it failed outside the run.
    const std::optional<TransferResult>& lastResult() const { return m_lastResult; }

    // TransferHost
    void postMessage(const QString& text) override;
    QString lastMessage() const override;
    void showStatus(const QString& text) override;
    RecordList& records() override;
    void transferStarting() override;

    // Enables or disables fmProcesses, then fmSettings.
    void EnableSettings(bool enabled);
    void SwitchListView(const QString& viewCode);
    void clearEvents();
    // The run the settings ask for.
    TransferRequest transferRequest() const;

    // Selects an entry of cmbProcess from code. The process selection runs even
    // when that entry is already the selection, as it does for the operator.
    void setProcessIndex(int index);

    TransferState& transferState() { return m_transferState; }
    const TransferState& transferState() const { return m_transferState; }
    // Never null.
    SerialControl* serialControl() { return MSCommI.get(); }
    FileDialog& fileDialog() { return *comFile; }

    // The drag anchor in twips: intDragX, intDragY.
    QPoint dragAnchor() const { return {intDragX, intDragY}; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void createSettingsFrame();
    void createProcessFrame();
    void stackControls();
    void setTabOrderAsDesigned();
    void dockEdgeLines();

    void lblMsgMgr_Change();
    void lstEvents_Click();
    void lstRecords_Click();
    void ImgViewEvnt_Click();
    void ImgViewFile_Click();
    void PicStart_Click();
    void PicAbort_Click();
    void PicClose_Click();
    void cmdBrowse_Click();
    void PicHelp_Click();
    void cmbProcess_Click();
    void lblTitleBar_MouseDown(const QMouseEvent& event);
    void lblTitleBar_MouseMove(const QMouseEvent& event);
    void Form_KeyPress(const QKeyEvent& event);
    void ComboBox_KeyUp(QComboBox& combo, const QKeyEvent& event);

    void probePorts();
    // Probes again, keeping the selected device selected where it is still there;
    // during a run, once the run has ended.
    void reprobePorts();
    void showPortDevice();
    // After a port failed to open: the warnings that explain why, if any apply.
    void explainPortFailure();
    void cmbPort_Change();

    // Draws the pictures and the hand pointer at the screen's device pixel ratio,
    // when that has changed.
    void drawPictures();

    void createShortcuts();
    void nameControls();

    // What a Tab keystroke (or Shift+Tab, backwards) does, run once the current
    // event has been handled.
    void sendTab(bool forward = true);
    bool receivesKeysFirst(const QObject* watched) const;
    QComboBox* typingGuardedCombo(const QObject* watched) const;

    QLabel* lblMsgMgr = nullptr;
    QLabel* lblTitleBar = nullptr;
    QLabel* lblStatus = nullptr;
    QLabel* imgDevice = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    ClickLabel* PicHelp = nullptr;
    ClickLabel* ImgViewFile = nullptr;
    ClickLabel* ImgViewEvnt = nullptr;
    ClickLabel* cmdBrowse = nullptr;
    PictureBox* PicAbort = nullptr;
    PictureBox* PicStart = nullptr;
    PictureBox* PicClose = nullptr;
    PictureBox* PicLineRgt = nullptr;
    PictureBox* PicLineLft = nullptr;
    PictureBox* PicLineBot = nullptr;
    PictureBox* PicLineTop = nullptr;
    std::array<PictureBox*, 4> picBorder {};
    FlatFrame* fmSettings = nullptr;
    FlatFrame* fmProcesses = nullptr;
    QListView* lstEvents = nullptr;
    QListView* lstRecords = nullptr;
    QWidget* Line1 = nullptr;
    QWidget* Line2 = nullptr;
    ListOpeningComboBox* cmbPort = nullptr;
    QComboBox* cmbBaud = nullptr;
    QComboBox* cmbProcess = nullptr;
    QLineEdit* txtStop = nullptr;
    QLineEdit* txtData = nullptr;
    QLineEdit* txtFile = nullptr;

    QStringListModel* m_events = nullptr;
    RecordList* m_records = nullptr;

    std::unique_ptr<SerialControl> MSCommI;
    std::unique_ptr<WindowWaiter> m_waiter;
    std::unique_ptr<FileDialog> comFile;
    TransferState m_transferState;
    PortMap m_portNames;
    std::function<PortMap()> m_listPorts;
    DeviceWatcher* m_deviceWatcher = nullptr;
    std::unique_ptr<WindowSystem> m_windowSystem;

    // While the Start command runs.
    std::optional<RunContext> m_run;
    std::optional<TransferResult> m_lastResult;
    // A close asked for while a transfer runs waits for the run to end.
    bool m_closePending = false;

    qint16 intDragX = 0;
    qint16 intDragY = 0;
    // The window system moves the window until the button is released.
    bool m_systemMove = false;

    qreal m_picturesRatio = 0.0;
    bool m_reprobeAfterRun = false;

    bool m_placed = false;
    // Counts the operator's input events, so that a selection of cmbProcess can be
    // told apart from the index change that the same input has already handled.
    quint64 m_inputSerial = 0;
    quint64 m_processChangeSerial = 0;
    quint64 m_portChangeSerial = 0;
};

} // namespace ql
