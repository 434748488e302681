#include "app/frmMainWin.h"

#include "app/BrowseCommand.h"
#include "app/Fonts.h"
#include "app/LabelCaption.h"
#include "app/LayoutUnits.h"
#include "app/Pictures.h"
#include "app/QtFileDialog.h"
#include "app/VersionText.h"
#include "app/WindowControls.h"
#include "app/WindowWaiter.h"
#include "app/WindowSystem.h"
#include "app/frmHelpAbout.h"
#include "records/RecordList.h"
#include "serial/PortProcedures.h"
#include "serial/SystemSerialControl.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScreen>
#include <QStringListModel>

namespace ql {

frmMainWin::frmMainWin(std::unique_ptr<SerialControl> serialControl, std::unique_ptr<FileDialog> fileDialog,
                       QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , MSCommI(serialControl ? std::move(serialControl) : std::make_unique<SystemSerialControl>(PortMap()))
    , m_waiter(std::make_unique<WindowWaiter>(*MSCommI, [this] {
        if (m_run)
            m_run->abort();
    }))
    , comFile(fileDialog ? std::move(fileDialog) : std::make_unique<QtFileDialog>())
    , m_windowSystem(std::make_unique<QtWindowSystem>())
{
    installFontSubstitutions();
    setObjectName(QStringLiteral("frmMainWin"));
    setWindowTitle(QStringLiteral("Transmission for Hand Handler Computer"));
    setWindowIcon(programIcon());
    setFixedSize(pixels(10335), pixels(6615));

    // Disabled texts keep the style's grey, so that locked settings look locked.
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    colours.setColor(QPalette::Base, Qt::white);
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        colours.setColor(group, QPalette::WindowText, Qt::black);
        colours.setColor(group, QPalette::Text, Qt::black);
    }
    setPalette(colours);
    setAutoFillBackground(true);
    setFont(sansSerifFont());

    m_events = new QStringListModel(this);
    m_records = new RecordList(this);

    createControls();
    drawPictures();
    stackControls();
    setTabOrderAsDesigned();
    createShortcuts();
    nameControls();
    cmbPort->setFocus();

    // Key preview: the window sees every key before the control that has the focus.
    qApp->installEventFilter(this);
}

frmMainWin::~frmMainWin()
{
    qApp->removeEventFilter(this);
}

void frmMainWin::Form_Load(const QString& argumentText)
{
    setWindowTitle(kAppTitle + QLatin1Char(' ') + VersionText());
    lblTitleBar->setText(shownCaption(QStringLiteral("\r\n   ") + windowTitle()));

    m_transferState.strBeginChar = kBeginChar;
    m_transferState.strEndChar = kEndChar;
    m_transferState.strSepChar = kSepChar;

    // Fields stand as given: no trimming, unquoting or change of case.
    const QStringList fields = argumentText.isEmpty() ? QStringList() : argumentText.split(QLatin1Char('#'));
    if (fields.size() >= 2)
        m_transferState.strHhc2PcFile = fields.at(1);
    if (fields.size() >= 1)
        m_transferState.strPc2HhcFile = fields.at(0);

    setProcessIndex(0);
    probePorts();
}

void frmMainWin::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    followDevicePixelRatio(*this, [this] { drawPictures(); });
    // Where windows cannot be placed from code, the window system places this one.
    if (!m_windowSystem->placesWindows())
        return;
    if (const QScreen* display = screen()) {
        const QRect area = display->geometry();
        move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
    }
}

void frmMainWin::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    dockEdgeLines();
}

void frmMainWin::lstEvents_Click()
{
    lstEvents->selectionModel()->clear();
}

void frmMainWin::lstRecords_Click()
{
    lstRecords->selectionModel()->clear();
}

void frmMainWin::SwitchListView(const QString& viewCode)
{
    lstRecords->hide();
    lstEvents->hide();
    ImgViewEvnt->hide();
    ImgViewFile->hide();
    if (viewCode == QLatin1String("F")) {
        lstRecords->show();
        ImgViewEvnt->show();
    } else {
        lstEvents->show();
        ImgViewFile->show();
    }
}

void frmMainWin::ImgViewEvnt_Click()
{
    SwitchListView(QStringLiteral("E"));
}

void frmMainWin::ImgViewFile_Click()
{
    SwitchListView(QStringLiteral("F"));
}

void frmMainWin::clearEvents()
{
    m_events->setStringList({});
}

void frmMainWin::PicClose_Click()
{
    close();
}

void frmMainWin::closeEvent(QCloseEvent* event)
{
    // The run is on the stack below this event: the window must outlive it. Closing
    // the port makes the run end through its failure ending; then it closes again.
    if (m_run) {
        event->ignore();
        m_closePending = true;
        PicAbort_Click();
        return;
    }
    forcePortClosed(*MSCommI);
    QWidget::closeEvent(event);
}

void frmMainWin::cmdBrowse_Click()
{
    txtFile->setText(BrowseForDataFile(*comFile, cmbProcess->currentText(), m_transferState, *this, records()));
}

void frmMainWin::PicHelp_Click()
{
    frmHelpAbout::showModal(*this);
}

void frmMainWin::setProcessIndex(int index)
{
    if (cmbProcess->currentIndex() == index)
        cmbProcess_Click();
    else
        cmbProcess->setCurrentIndex(index);
}

void frmMainWin::cmbProcess_Click()
{
    txtFile->setText(cmbProcess->currentIndex() == 0 ? m_transferState.strPc2HhcFile
                                                     : m_transferState.strHhc2PcFile);
    clearEvents();
    m_records->clear();
}

void frmMainWin::setWindowSystem(std::unique_ptr<WindowSystem> windowSystem)
{
    m_windowSystem = windowSystem ? std::move(windowSystem) : std::make_unique<QtWindowSystem>();
}

} // namespace ql
