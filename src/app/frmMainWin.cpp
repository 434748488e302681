#include "app/frmMainWin.h"

#include "app/ClosePictures.h"
#include "app/Fonts.h"
#include "app/Pictures.h"
#include "app/LabelCaption.h"
#include "app/QtFileDialog.h"
#include "app/WindowSystem.h"
#include "app/VersionText.h"
#include "app/WindowControls.h"
#include "app/WindowPacing.h"
#include "app/frmHelpAbout.h"
#include "common/Failure.h"
#include "app/BrowseCommand.h"
#include "records/RecordList.h"
#include "serial/NumericText.h"
#include "serial/SystemSerialControl.h"
#include "transfer/Transfers.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QProxyStyle>
#include <QScreen>
#include <QStringListModel>
#include <QWindow>

#include <cmath>
#include <initializer_list>

namespace ql {

namespace {

constexpr int kClientWidthPx = 10335 / kTwipsPerPixel;
constexpr int kClientHeightPx = 6615 / kTwipsPerPixel;
const QColor kBrowseGrey(224, 224, 224);

int pixels(int twips)
{
    return qRound(static_cast<double>(twips) / kTwipsPerPixel);
}

QRect twipsRect(int left, int top, int width, int height)
{
    return {pixels(left), pixels(top), pixels(width), pixels(height)};
}

template <typename Widget>
Widget* named(Widget* widget, const char* name, const QRect& geometry)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

template <typename Label>
Label* makeLabel(QWidget* parent, const char* name, const QString& caption, const QRect& geometry)
{
    auto* label = named(new Label(parent), name, geometry);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setText(caption);
    return label;
}

// Its picture is drawn with the others, at the screen's device pixel ratio.
template <typename Label>
Label* makeImage(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* image = named(new Label(parent), name, geometry);
    image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return image;
}

QWidget* makeLine(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* line = named(new QWidget(parent), name, geometry);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::WindowText));
    line->setPalette(palette);
    line->setAutoFillBackground(true);
    return line;
}

QLineEdit* makeTextBox(QWidget* parent, const char* name, const QString& text, const QRect& geometry)
{
    auto* box = named(new QLineEdit(parent), name, geometry);
    box->setText(text);
    box->setReadOnly(true);
    // The focus widens the border by the pixel the padding gives up, so the text stays put.
    box->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid palette(window-text);"
                                      " background: palette(base); padding: 0px 1px; }"
                                      "QLineEdit:focus { border: 2px solid palette(highlight); padding: 0px; }"));
    return box;
}

// The usual drop-down button leaves too little of a field this narrow for a
// baud rate; the field takes what the button gives up.
class NarrowArrowStyle final : public QProxyStyle {
public:
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override
    {
        constexpr int kGivenUp = 4;
        QRect rect = QProxyStyle::subControlRect(control, option, part, widget);
        if (control == CC_ComboBox && part == SC_ComboBoxArrow)
            rect.setLeft(rect.left() + kGivenUp);
        else if (control == CC_ComboBox && part == SC_ComboBoxEditField)
            rect.setRight(rect.right() + kGivenUp);
        return rect;
    }
};

// A combo box 2 pixels up and left inside its container, which cuts off its frame.
template <typename Combo = QComboBox>
Combo* makeComboBox(QWidget* container, const char* name, int widthTwips, const QStringList& entries,
                    const QString& editText)
{
    auto* combo = named(new Combo(container), name, twipsRect(-30, -30, widthTwips, 315));
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCompleter(nullptr);
    combo->addItems(entries);
    combo->setCurrentIndex(-1);
    combo->setEditText(editText);
    // Entries are chosen, never typed: no paste by menu or drop either, and no
    // entry picked to match the text when the focus leaves.
    combo->lineEdit()->setContextMenuPolicy(Qt::NoContextMenu);
    combo->lineEdit()->setAcceptDrops(false);
    QObject::disconnect(combo->lineEdit(), &QLineEdit::editingFinished, combo, nullptr);
    auto* style = new NarrowArrowStyle;
    style->setParent(combo);
    combo->setStyle(style);
    combo->lineEdit()->setTextMargins(1, 0, 0, 0);
    return combo;
}

QListView* makeListBox(QWidget* parent, const char* name, QAbstractItemModel* model)
{
    auto* list = named(new QListView(parent), name, twipsRect(240, 960, 7620, 5070));
    list->setModel(model);
    list->setUniformItemSizes(true);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setFont(courierFont(kSmallFontPx));
    list->setFrameStyle(QFrame::Box | QFrame::Plain);
    list->setLineWidth(1);
    list->setFocusPolicy(Qt::StrongFocus);
    return list;
}

// Stacks the controls of one container so that the first is in front.
void stackFrontToBack(std::initializer_list<QWidget*> controls)
{
    for (auto it = std::rbegin(controls); it != std::rend(controls); ++it)
        (*it)->raise();
}

bool discardsTyping(const QKeyEvent& key)
{
    for (const auto clipboardKey : {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste,
                                    QKeySequence::Undo, QKeySequence::Redo})
        if (key.matches(clipboardKey))
            return true;
    switch (key.key()) {
    case Qt::Key_Delete:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return false;
    // Characters too, whatever text the platform attaches to them.
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Backspace:
    case Qt::Key_Escape:
        return true;
    default:
        return !key.text().isEmpty();
    }
}

} // namespace

frmMainWin::frmMainWin(std::unique_ptr<SerialControl> serialControl, std::unique_ptr<FileDialog> fileDialog,
                       QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , MSCommI(serialControl ? std::move(serialControl) : std::make_unique<SystemSerialControl>(PortMap()))
    , m_pacing(std::make_unique<WindowPacing>(*MSCommI))
    , comFile(fileDialog ? std::move(fileDialog) : std::make_unique<QtFileDialog>())
    , m_windowSystem(std::make_unique<QtWindowSystem>())
{
    installFontSubstitutions();
    setObjectName(QStringLiteral("frmMainWin"));
    setWindowTitle(QStringLiteral("Transmission for Hand Handler Computer"));
    setWindowIcon(programIcon());
    setFixedSize(kClientWidthPx, kClientHeightPx);

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

void frmMainWin::createControls()
{
    PicAbort = named(new PictureBox(this), "PicAbort", twipsRect(9600, 5520, 285, 285));
    PicAbort->hide();
    PicStart = named(new PictureBox(this), "PicStart", twipsRect(9600, 5520, 285, 285));
    PicClose = named(new PictureBox(this), "PicClose", twipsRect(9840, 240, 285, 285));
    connect(PicClose, &PictureBox::clicked, this, &frmMainWin::PicClose_Click);
    connect(PicStart, &PictureBox::clicked, this, &frmMainWin::PicStart_Click);
    connect(PicAbort, &PictureBox::clicked, this, &frmMainWin::PicAbort_Click);

    PicLineRgt = named(new PictureBox(this, Qt::black), "PicLineRgt", {});
    PicLineLft = named(new PictureBox(this, Qt::black), "PicLineLft", {});
    PicLineBot = named(new PictureBox(this, Qt::black), "PicLineBot", {});
    PicLineTop = named(new PictureBox(this, Qt::black), "PicLineTop", {});
    dockEdgeLines();

    createSettingsFrame();
    createProcessFrame();

    lstEvents = makeListBox(this, "lstEvents", m_events);
    lstRecords = makeListBox(this, "lstRecords", m_records);
    lstRecords->hide();
    for (QListView* list : {lstEvents, lstRecords}) {
        connect(list, &QListView::clicked, this,
                list == lstEvents ? &frmMainWin::lstEvents_Click : &frmMainWin::lstRecords_Click);
        // The list box clicks itself whenever its current entry is set, by anyone.
        connect(list->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this, list](const QModelIndex& current) {
                    if (!current.isValid())
                        return;
                    if (list == lstEvents)
                        lstEvents_Click();
                    else
                        lstRecords_Click();
                });
    }

    Line2 = makeLine(this, "Line2", {0, pixels(6240), pixels(10320), 1});
    Line1 = makeLine(this, "Line1", {0, pixels(720), pixels(10320), 1});

    PicHelp = makeImage<ClickLabel>(this, "PicHelp", twipsRect(9480, 240, 285, 285));
    connect(PicHelp, &ClickLabel::clicked, this, &frmMainWin::PicHelp_Click);

    lblTitleBar = makeLabel<QLabel>(this, "lblTitleBar", QStringLiteral("#"), twipsRect(0, 0, 10695, 735));
    lblTitleBar->setFont(courierFont(kTitleFontPx, true));
    lblTitleBar->setAutoFillBackground(true);
    lblTitleBar->setCursor(Qt::SizeAllCursor);

    lblStatus = makeLabel<QLabel>(this, "lblStatus", QStringLiteral("Ready"), twipsRect(240, 6315, 12255, 255));

    imgDevice = makeImage<QLabel>(this, "imgDevice", twipsRect(8040, 960, 2055, 1365));
    imgDevice->setScaledContents(true);

    lblMsgMgr = makeLabel<QLabel>(this, "lblMsgMgr", QStringLiteral("?"), twipsRect(165, 180, 90, 195));
    lblMsgMgr->hide();
}

void frmMainWin::createSettingsFrame()
{
    fmSettings = named(new FlatFrame(QStringLiteral("Settings"), this), "fmSettings",
                       twipsRect(8040, 2400, 2055, 1935));

    picBorder[1] = named(new PictureBox(fmSettings), "picBorder(1)", twipsRect(960, 720, 855, 285));
    cmbBaud = makeComboBox(picBorder[1], "cmbBaud", 900,
                           {QStringLiteral("1200"), QStringLiteral("1800"), QStringLiteral("2400"),
                            QStringLiteral("3600"), QStringLiteral("4800"), QStringLiteral("7200"),
                            QStringLiteral("9600"), QStringLiteral("14400"), QStringLiteral("19200"),
                            QStringLiteral("28800"), QStringLiteral("38400"), QStringLiteral("56000"),
                            QStringLiteral("57600"), QStringLiteral("115200"), QStringLiteral("230400"),
                            QStringLiteral("460800"), QStringLiteral("921600")},
                           QStringLiteral("115200"));

    picBorder[0] = named(new PictureBox(fmSettings), "picBorder(0)", twipsRect(960, 360, 855, 285));
    cmbPort = makeComboBox<ListOpeningComboBox>(picBorder[0], "cmbPort", 900,
                           {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                            QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8")},
                           QString());
    connect(cmbPort, &ListOpeningComboBox::listOpening, this, &frmMainWin::reprobePorts);
    connect(cmbPort, &QComboBox::currentIndexChanged, this, [this] {
        m_portChangeSerial = m_inputSerial;
        showPortDevice();
    });
    connect(cmbPort, &QComboBox::activated, this, [this] {
        if (m_portChangeSerial == m_inputSerial)
            cmbPort_Change();
    });

    txtStop = makeTextBox(fmSettings, "txtStop", QStringLiteral("1"), twipsRect(960, 1440, 855, 285));
    txtData = makeTextBox(fmSettings, "txtData", QStringLiteral("8"), twipsRect(960, 1080, 855, 285));

    Label4 = makeLabel<QLabel>(fmSettings, "Label4", QStringLiteral("Baud rate : "), twipsRect(120, 735, 975, 255));
    Label3 = makeLabel<QLabel>(fmSettings, "Label3", QStringLiteral("Com port : "), twipsRect(120, 375, 975, 255));
    Label2 = makeLabel<QLabel>(fmSettings, "Label2", QStringLiteral("Stop bit : "), twipsRect(120, 1455, 975, 255));
    Label1 = makeLabel<QLabel>(fmSettings, "Label1", QStringLiteral("Data bit : "), twipsRect(120, 1095, 975, 255));
}

void frmMainWin::createProcessFrame()
{
    fmProcesses = named(new FlatFrame(QStringLiteral("Process"), this), "fmProcesses",
                        twipsRect(8040, 4440, 2055, 1575));

    txtFile = makeTextBox(fmProcesses, "txtFile", QString(), twipsRect(120, 720, 1455, 285));
    // The box is too narrow for most paths.
    connect(txtFile, &QLineEdit::textChanged, txtFile, &QLineEdit::setToolTip);

    picBorder[3] = named(new PictureBox(fmProcesses, kBrowseGrey), "picBorder(3)", twipsRect(1560, 720, 255, 285));
    cmdBrowse = makeLabel<ClickLabel>(picBorder[3], "cmdBrowse", QStringLiteral("..."), twipsRect(15, 15, 225, 285));
    cmdBrowse->setFont(sansSerifFont(true));
    cmdBrowse->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    connect(cmdBrowse, &ClickLabel::clicked, this, &frmMainWin::cmdBrowse_Click);

    picBorder[2] = named(new PictureBox(fmProcesses), "picBorder(2)", twipsRect(120, 360, 1695, 285));
    cmbProcess = makeComboBox(picBorder[2], "cmbProcess", 1740, {kPcToHhc, kHhcToPc}, kPcToHhc);
    connect(cmbProcess, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_processChangeSerial = m_inputSerial;
        if (index >= 0)
            cmbProcess_Click();
    });
    // The operator choosing the entry already selected changes no index, yet is a
    // selection all the same.
    connect(cmbProcess, &QComboBox::activated, this, [this] {
        if (m_processChangeSerial != m_inputSerial)
            cmbProcess_Click();
    });

    ImgViewFile = makeImage<ClickLabel>(fmProcesses, "ImgViewFile", twipsRect(120, 1080, 825, 285));
    connect(ImgViewFile, &ClickLabel::clicked, this, &frmMainWin::ImgViewFile_Click);

    ImgViewEvnt = makeImage<ClickLabel>(fmProcesses, "ImgViewEvnt", twipsRect(120, 1080, 825, 285));
    connect(ImgViewEvnt, &ClickLabel::clicked, this, &frmMainWin::ImgViewEvnt_Click);

    for (PictureBox* border : picBorder)
        border->showBorderLine();
}

void frmMainWin::drawPictures()
{
    const qreal ratio = devicePixelRatioF();
    if (ratio == m_picturesRatio)
        return;
    m_picturesRatio = ratio;
    PicAbort->setPicture(drawStopPicture(ratio));
    PicStart->setPicture(drawStartPicture(ratio));
    PicClose->setPicture(drawClosePicture(Qt::black, ratio));
    PicHelp->setPixmap(drawHelpPicture(ratio));
    ImgViewFile->setPixmap(drawRecordsViewPicture(ratio));
    ImgViewEvnt->setPixmap(drawEventsViewPicture(ratio));
    imgDevice->setPixmap(drawDevicePicture(ratio));
    const QCursor hand = handCursor(ratio, m_windowSystem->takesHotSpotsInDevicePixels());
    for (QWidget* clickable : std::initializer_list<QWidget*> {PicStart, PicAbort, PicClose, cmdBrowse, ImgViewFile,
                                                               ImgViewEvnt})
        clickable->setCursor(hand);
}

// Windowless controls (labels, images, lines) lie below the windowed ones of the
// same container; within each kind the first listed is in front.
void frmMainWin::stackControls()
{
    stackFrontToBack({PicAbort, PicStart, PicClose, PicLineRgt, PicLineLft, PicLineBot, PicLineTop, fmSettings,
                      fmProcesses, lstEvents, lstRecords, Line2, Line1, PicHelp, lblTitleBar, lblStatus, imgDevice,
                      lblMsgMgr});
    stackFrontToBack({picBorder[1], picBorder[0], txtStop, txtData, Label4, Label3, Label2, Label1});
    stackFrontToBack({txtFile, picBorder[3], picBorder[2], ImgViewFile, ImgViewEvnt});
}

// Controls that never take the focus keep their place in the order all the same.
void frmMainWin::setTabOrderAsDesigned()
{
    for (QWidget* control : std::initializer_list<QWidget*> {picBorder[0], picBorder[1], picBorder[2], picBorder[3],
                                                             PicStart, PicAbort, PicClose, PicLineTop, PicLineBot,
                                                             PicLineLft, PicLineRgt})
        control->setFocusPolicy(Qt::NoFocus);

    const std::initializer_list<QWidget*> order {
        cmbPort,      cmbBaud,      txtData,  txtStop,    cmbProcess, txtFile,     picBorder[3], PicStart,
        PicAbort,     fmSettings,   Label1,   Label2,     Label3,     picBorder[0], lblMsgMgr,   fmProcesses,
        picBorder[2], picBorder[1], Label4,   PicLineTop, PicLineBot, PicLineLft,  PicLineRgt,   lstEvents,
        lblStatus,    PicClose,     lstRecords, lblTitleBar, cmdBrowse};
    for (auto it = order.begin(); std::next(it) != order.end(); ++it)
        QWidget::setTabOrder(*it, *std::next(it));
}

// The frame lines stay docked to the window's edges.
void frmMainWin::dockEdgeLines()
{
    const int w = width();
    const int h = height();
    PicLineTop->setGeometry(0, 0, w, 1);
    PicLineBot->setGeometry(0, h - 1, w, 1);
    PicLineLft->setGeometry(0, 1, 1, h - 2);
    PicLineRgt->setGeometry(w - 1, 1, 1, h - 2);
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

void frmMainWin::lstEvents_Click()
{
    lstEvents->selectionModel()->clear();
}

void frmMainWin::lstRecords_Click()
{
    lstRecords->selectionModel()->clear();
}

void frmMainWin::EnableSettings(bool enabled)
{
    fmProcesses->setEnabled(enabled);
    fmSettings->setEnabled(enabled);
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
    if (m_running)
        return;
    m_running = true;
    repaint();
    PicAbort->show();
    PicStart->hide();
    PicClose->hide();
    PicHelp->hide();
    SwitchListView(QStringLiteral("E"));
    clearEvents();
    try {
        StartSelectedProcess(*this, transferRequest(), *MSCommI, *m_pacing, m_transferState);
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
    m_running = false;
    if (m_reprobeAfterRun)
        reprobePorts();
    if (m_closePending) {
        m_closePending = false;
        close();
    }
}

void frmMainWin::PicAbort_Click()
{
    if (m_running)
        m_pacing->abort();
    releasePort();
}

void frmMainWin::releasePort() noexcept
{
    try {
        if (MSCommI->PortOpen()) {
            // Abort: what is still queued may go, the run ends as a failure anyway.
            MSCommI->setOutBufferCount(0);
            MSCommI->setPortOpen(false);
        }
    } catch (...) {
        // Nothing more to do: a port that will not close is closed by the next open.
    }
}

void frmMainWin::PicClose_Click()
{
    close();
}

void frmMainWin::closeEvent(QCloseEvent* event)
{
    // The run is on the stack below this event: the window must outlive it. Closing
    // the port makes the run end through its failure ending; then it closes again.
    if (m_running) {
        event->ignore();
        m_closePending = true;
        m_pacing->abort();
        releasePort();
        return;
    }
    releasePort();
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

void frmMainWin::lblTitleBar_MouseDown(const QMouseEvent& event)
{
    const QPointF position = event.position() * kTwipsPerPixel;
    intDragX = roundToInt16(position.x());
    intDragY = roundToInt16(position.y());
    // Where moves from code are ignored, the window system drags the window.
    m_systemMove = event.buttons() == Qt::LeftButton && !m_windowSystem->placesWindows() && windowHandle()
        && m_windowSystem->startSystemMove(*windowHandle());
}

void frmMainWin::lblTitleBar_MouseMove(const QMouseEvent& event)
{
    if (event.buttons() != Qt::LeftButton || m_systemMove)
        return;
    const QPointF position = event.position() * kTwipsPerPixel;
    const float left = static_cast<float>(x() * kTwipsPerPixel) + static_cast<float>(position.x()) - intDragX;
    const float top = static_cast<float>(y() * kTwipsPerPixel) + static_cast<float>(position.y()) - intDragY;
    move(static_cast<int>(std::nearbyint(left / kTwipsPerPixel)),
         static_cast<int>(std::nearbyint(top / kTwipsPerPixel)));
}

void frmMainWin::Form_KeyPress(const QKeyEvent& event)
{
    const bool enter = event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
    if (enter && !(event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        sendTab();
}

void frmMainWin::ComboBox_KeyUp(QComboBox& combo, const QKeyEvent& event)
{
    if (event.key() != Qt::Key_Delete || event.isAutoRepeat() || combo.count() == 0)
        return;
    const int before = combo.currentIndex();
    if (&combo == cmbProcess)
        setProcessIndex(0);
    else
        combo.setCurrentIndex(0);
    if (&combo == cmbPort && before != 0)
        cmbPort_Change();
    if (combo.currentText() != combo.itemText(0))
        combo.setEditText(combo.itemText(0));
}

void frmMainWin::sendTab(bool forward)
{
    QMetaObject::invokeMethod(
        this, [this, forward] { focusNextPrevChild(forward); }, Qt::QueuedConnection);
}

bool frmMainWin::receivesKeysFirst(const QObject* watched) const
{
    const QWidget* focus = focusWidget();
    return watched == (focus ? focus : this);
}

QComboBox* frmMainWin::typingGuardedCombo(const QObject* watched) const
{
    for (QComboBox* combo : std::initializer_list<QComboBox*> {cmbPort, cmbBaud, cmbProcess})
        if (watched == combo || watched == combo->lineEdit())
            return combo;
    return nullptr;
}

bool frmMainWin::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        ++m_inputSerial;
        const auto& key = static_cast<const QKeyEvent&>(*event);
        if (receivesKeysFirst(watched))
            Form_KeyPress(key);
        if (typingGuardedCombo(watched) && discardsTyping(key))
            return true;
        break;
    }
    case QEvent::KeyRelease:
        if (QComboBox* combo = typingGuardedCombo(watched))
            ComboBox_KeyUp(*combo, static_cast<const QKeyEvent&>(*event));
        break;
    case QEvent::InputMethod:
        if (typingGuardedCombo(watched))
            return true;
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease: {
        ++m_inputSerial;
        const auto& mouse = static_cast<const QMouseEvent&>(*event);
        if (watched == lblTitleBar && event->type() != QEvent::MouseButtonRelease)
            lblTitleBar_MouseDown(mouse);
        else if (watched == lblTitleBar)
            m_systemMove = false;
        // The middle button pastes the selection on X11: typing by another road.
        if (mouse.button() == Qt::MiddleButton && typingGuardedCombo(watched))
            return true;
        break;
    }
    case QEvent::Wheel:
        ++m_inputSerial;
        break;
    case QEvent::MouseMove:
        if (watched == lblTitleBar)
            lblTitleBar_MouseMove(static_cast<const QMouseEvent&>(*event));
        break;
    case QEvent::FocusIn:
        // Reached backwards, a list passes the focus on backwards.
        if (watched == lstEvents || watched == lstRecords)
            sendTab(static_cast<const QFocusEvent&>(*event).reason() != Qt::BacktabFocusReason);
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace ql
