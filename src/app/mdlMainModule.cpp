#include "app/mdlMainModule.h"

#include "app/Pictures.h"
#include "app/QtFileDialog.h"
#include "app/SingleInstanceLock.h"
#include "app/VersionText.h"
#include "app/frmMainWin.h"
#include "serial/PortMap.h"
#include "serial/SystemSerialControl.h"

#include <QApplication>
#include <QMessageBox>
#include <QStringList>

namespace ql {

void configureSecondInstanceBox(QMessageBox& box)
{
    box.setWindowTitle(kAppTitle);
    box.setIcon(QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.setText(QStringLiteral("\r\nAn instance of this application is already running.\r\n"
                               "A second instance is not supported"));
}

QString argumentText(const QStringList& arguments)
{
    return arguments.mid(1).join(QLatin1Char(' '));
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
    auto serial = std::make_unique<SystemSerialControl>(PortMap());
    SystemSerialControl& ports = *serial;
    frmMainWin window(std::move(serial), std::make_unique<QtFileDialog>());
    window.setPortLister([&ports] {
        ports.setPorts(PortMap::fromSystem());
        return ports.ports();
    });
    window.watchDevices(QStringLiteral("/dev"));
    window.Form_Load(argumentText(QCoreApplication::arguments()));
    window.show();
    return QApplication::exec();
}

} // namespace ql
