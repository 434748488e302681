// The main window's controls: where each stands, how it looks, and their order
// front to back and by Tab.
#include "app/frmMainWin.h"

#include "app/ClosePictures.h"
#include "app/Fonts.h"
#include "app/LayoutUnits.h"
#include "app/Pictures.h"
#include "app/WindowControls.h"
#include "app/WindowSystem.h"
#include "records/RecordList.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProxyStyle>
#include <QStringListModel>

#include <initializer_list>

namespace ql {

namespace {

const QColor kBrowseGrey(224, 224, 224);

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

} // namespace

void frmMainWin::createControls()
{
    PicAbort = named(new PictureBox(this), "PicAbort", twipsRect(9600, 5520, 285, 285));
    PicAbort->hide();
    // An Abort is an Abort however soon after Start it comes.
    PicAbort->setSecondPressClicks(true);
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

} // namespace ql
