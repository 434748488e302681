// The keyboard's way to the main window's commands, the names screen readers give
// its controls, and the filter that sees the operator's input first.
#include "app/frmMainWin.h"

#include "app/LayoutUnits.h"
#include "app/WindowControls.h"
#include "app/WindowSystem.h"
#include "serial/NumericText.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QShortcut>

#include <cmath>
#include <initializer_list>

namespace ql {

namespace {

QString keysText(const QList<QKeySequence>& keys)
{
    QStringList texts;
    for (const QKeySequence& key : keys)
        texts.append(key.toString(QKeySequence::NativeText));
    return texts.join(QStringLiteral(", "));
}

// A caption such as "Com port : " names its control "Com port".
QString nameFromCaption(const QString& caption)
{
    QString name = caption.trimmed();
    if (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    return name.trimmed();
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

const QList<QKeySequence> frmMainWin::kStartKeys {QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_Return),
                                                  QKeySequence(Qt::CTRL | Qt::Key_Enter)};
const QList<QKeySequence> frmMainWin::kAbortKeys {QKeySequence(Qt::Key_Escape)};
const QList<QKeySequence> frmMainWin::kBrowseKeys {QKeySequence(Qt::CTRL | Qt::Key_O)};
const QList<QKeySequence> frmMainWin::kViewKeys {QKeySequence(Qt::Key_F6), QKeySequence(Qt::CTRL | Qt::Key_Tab)};
const QList<QKeySequence> frmMainWin::kHelpKeys {QKeySequence(Qt::Key_F1)};
const QList<QKeySequence> frmMainWin::kCloseKeys {QKeySequence(Qt::CTRL | Qt::Key_Q),
                                                  QKeySequence(Qt::ALT | Qt::Key_F4)};

// Each command's keys belong to the control that clicks for it, so they act only
// while that control is shown and enabled: Start not during a run, Abort only
// during one. Close's keys belong to the window: during a run they close it as the
// window's own close does then, by Abort.
void frmMainWin::createShortcuts()
{
    const auto bind = [this](QWidget* control, const QList<QKeySequence>& keys, const QString& what,
                             auto action, QWidget* owner = nullptr) {
        for (const QKeySequence& key : keys) {
            auto* shortcut = new QShortcut(key, owner ? owner : control);
            shortcut->setContext(Qt::WindowShortcut);
            connect(shortcut, &QShortcut::activated, this, action);
        }
        if (!what.isEmpty())
            control->setToolTip(QStringLiteral("%1 (%2)").arg(what, keysText(keys)));
    };
    bind(PicStart, kStartKeys, QStringLiteral("Start"), &frmMainWin::PicStart_Click);
    bind(PicAbort, kAbortKeys, QStringLiteral("Abort"), &frmMainWin::PicAbort_Click);
    bind(cmdBrowse, kBrowseKeys, QStringLiteral("Choose the data file"), &frmMainWin::cmdBrowse_Click);
    bind(PicHelp, kHelpKeys, QStringLiteral("About"), &frmMainWin::PicHelp_Click);
    bind(PicClose, kCloseKeys, QStringLiteral("Close"), &frmMainWin::PicClose_Click, this);
    // The image in front is the one a click reaches.
    bind(fmProcesses, kViewKeys, QString(), [this] {
        if (ImgViewFile->isVisible())
            ImgViewFile_Click();
        else
            ImgViewEvnt_Click();
    });
    ImgViewFile->setToolTip(QStringLiteral("Show the records (%1)").arg(keysText(kViewKeys)));
    ImgViewEvnt->setToolTip(QStringLiteral("Show the events (%1)").arg(keysText(kViewKeys)));
}

void frmMainWin::nameControls()
{
    const auto nameAfter = [](QWidget* control, const QString& caption) {
        control->setAccessibleName(nameFromCaption(caption));
    };
    nameAfter(cmbPort, Label3->text());
    nameAfter(cmbBaud, Label4->text());
    nameAfter(txtData, Label1->text());
    nameAfter(txtStop, Label2->text());
    nameAfter(cmbProcess, fmProcesses->caption());
    nameAfter(txtFile, QStringLiteral("Data file"));
    nameAfter(lstEvents, QStringLiteral("Events"));
    nameAfter(lstRecords, QStringLiteral("Records"));
    for (QWidget* command : std::initializer_list<QWidget*> {PicStart, PicAbort, cmdBrowse, PicHelp, PicClose,
                                                             ImgViewFile, ImgViewEvnt}) {
        const QString tip = command->toolTip();
        command->setAccessibleName(tip.left(tip.indexOf(QStringLiteral(" ("))));
        command->setAccessibleDescription(tip);
    }
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
