#include "app/mdlMainModule.h"

#include "app/Pictures.h"
#include "app/QtFileDialog.h"
#include "app/SingleInstanceLock.h"
#include "app/VersionText.h"
#include "app/frmMainWin.h"

#include <QApplication>
#include <QMessageBox>

namespace ql {

void configureSecondInstanceBox(QMessageBox& box)
{
    box.setWindowTitle(kAppTitle);
    box.setIcon(QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.setText(QStringLiteral("\r\nAn instance of this application is already running.\r\n"
                               "A second instance is not supported"));
}

int Main()
{
    QApplication::setWindowIcon(programIcon());
    SingleInstanceLock lock;
    if (!lock.tryAcquire()) {
        QMessageBox box;
        configureSecondInstanceBox(box);
        box.exec();
        return kExitSecondInstance;
    }
    frmMainWin window(nullptr, std::make_unique<QtFileDialog>());
    window.show();
    return QApplication::exec();
}

} // namespace ql
