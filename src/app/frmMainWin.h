#pragma once

#include "records/FileDialog.h"
#include "serial/PortMap.h"
#include "serial/SerialControl.h"
#include "transfer/TransferHost.h"
#include "transfer/TransferState.h"

#include <QPoint>
#include <QWidget>

#include <array>
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
class FlatFrame;
class PictureBox;
class RecordList;

// Twips per logical pixel, the scale of the window's design.
inline constexpr int kTwipsPerPixel = 15;

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

    // The devices behind the port numbers, named in the tooltips of cmbPort's
    // entries. Give it before Form_Load.
    void setPortNames(PortMap ports) { m_portNames = std::move(ports); }

    // Whether the Start command is running, a transfer included.
    bool isRunning() const { return m_running; }

    // TransferHost
    void postMessage(const QString& text) override;
    QString lastMessage() const override;
    void showStatus(const QString& text) override;
    qint16 YieldToWindows() override;
    void EnableSettings(bool enabled) override;
    void SwitchListView(const QString& viewCode) override;
    void clearEvents() override;
    LineControls lineControls() const override;
    QString fileText() const override;
    QString processText() const override;
    RecordList& records() override;

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
    // Closes the port if it is open; a failure changes nothing.
    void releasePort() noexcept;
    QString portToolTip(qint16 number) const;

    // What a Tab keystroke does, run once the current event has been handled.
    void sendTab();
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
    QComboBox* cmbPort = nullptr;
    QComboBox* cmbBaud = nullptr;
    QComboBox* cmbProcess = nullptr;
    QLineEdit* txtStop = nullptr;
    QLineEdit* txtData = nullptr;
    QLineEdit* txtFile = nullptr;

    QStringListModel* m_events = nullptr;
    RecordList* m_records = nullptr;

    std::unique_ptr<SerialControl> MSCommI;
    std::unique_ptr<FileDialog> comFile;
    TransferState m_transferState;
    std::optional<PortMap> m_portNames;

    bool m_running = false;
    // A close asked for while a transfer runs waits for the run to end.
    bool m_closePending = false;

    qint16 intDragX = 0;
    qint16 intDragY = 0;

    bool m_placed = false;
    // Counts the operator's input events, so that a selection of cmbProcess can be
    // told apart from the index change that the same input has already handled.
    quint64 m_inputSerial = 0;
    quint64 m_processChangeSerial = 0;
};

} // namespace ql
