// The keyboard's way to the main window's commands, and the names screen readers
// give its controls.
#include "app/frmMainWin.h"

#include "app/WindowControls.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QShortcut>

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
// while that control is shown and enabled: Start and Close not during a run,
// Abort only during one.
void frmMainWin::createShortcuts()
{
    const auto bind = [this](QWidget* control, const QList<QKeySequence>& keys, const QString& what,
                             auto action) {
        for (const QKeySequence& key : keys) {
            auto* shortcut = new QShortcut(key, control);
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
    bind(PicClose, kCloseKeys, QStringLiteral("Close"), &frmMainWin::PicClose_Click);
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

} // namespace ql
