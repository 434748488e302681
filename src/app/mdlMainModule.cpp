#include "app/mdlMainModule.h"

#include "app/Pictures.h"
#include "app/QtFileDialog.h"
#include "app/SingleInstanceLock.h"
#include "app/VersionText.h"
#include "app/frmMainWin.h"
#include "common/FileNames.h"
#include "common/ProcessSignals.h"
#include "eventlog/Messages.h"
#include "serial/PortMap.h"
#include "serial/SystemSerialControl.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QSocketNotifier>

namespace ql {

namespace {

QString usageText()
{
    return QStringLiteral(
               "Usage: quorvalink [PC->HHC data file][#HHC->PC data file]\n"
               "       quorvalink --help | --version\n"
               "\n"
               "Moves line-oriented text records between this PC and a hand-held computer (HHC)\n"
               "over a serial port. Data files are plain text, one record per line.\n"
               "\n"
               "The arguments, taken as one text, are split at \"#\": the first field is the data\n"
               "file of the PC->HHC direction, the second that of HHC->PC; text after a second\n"
               "\"#\" is ignored. Every command line other than exactly --help or --version has\n"
               "this meaning. Nothing starts by itself: choose the port, the baud rate and the\n"
               "direction in the window, and press Start.\n"
               "\n"
               "Ports are numbered 1 to 99. The environment variable QUORVALINK_COM<n> names the\n"
               "device of port n (for example QUORVALINK_COM1=/dev/ttyUSB0); the system's serial\n"
               "ports take the remaining numbers, lowest first. The window lists the ports that\n"
               "open at start-up; Start accepts ports 1 to 99.\n"
               "\n"
               "SIGTERM, SIGINT and SIGHUP abort a running transfer, keep the records received\n"
               "so far, and close the window.\n"
               "\n"
               "Exit status: 0 when the window is closed, and after --help or --version;\n"
               "%1 when another copy of the program runs for this user.\n"
               "\n"
               "More: man quorvalink, and the README in the program's documentation folder.\n")
        .arg(kExitSecondInstance);
}

} // namespace

void configureSecondInstanceBox(QMessageBox& box)
{
    box.setWindowTitle(kAppTitle);
    box.setIcon(QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.setText(QStringLiteral("\r\nAn instance of this application is already running.\r\n"
                               "A second instance is not supported"));
}

std::optional<QString> informationAnswer(const QByteArrayList& arguments)
{
    if (arguments.size() != 2)
        return std::nullopt;
    if (arguments.at(1) == "--version")
        return kAppTitle + QLatin1Char(' ') + VersionText() + QLatin1Char('\n');
    if (arguments.at(1) == "--help")
        return usageText();
    return std::nullopt;
}

ArgumentText argumentText(const QByteArrayList& arguments)
{
    // "#" and the blank are single bytes in every encoding of file names, so the
    // split can be made on the bytes before decoding.
    const QByteArray bytes = arguments.mid(1).join(' ');
    ArgumentText result;
    if (bytes.isEmpty())
        return result;
    QStringList fields;
    for (const QByteArray& field : bytes.split('#')) {
        if (const std::optional<QString> name = fileNameText(field)) {
            fields.append(*name);
        } else {
            fields.append(QString());
            result.unusable.append(QFile::decodeName(field));
        }
    }
    result.text = fields.join(QLatin1Char('#'));
    return result;
}

void closeWindowsOnTerminationSignal(QObject& owner)
{
    if (TerminationSignals::fd() < 0)
        return;
    auto* notifier = new QSocketNotifier(TerminationSignals::fd(), QSocketNotifier::Read, &owner);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        TerminationSignals::take();
        QApplication::closeAllWindows();
    });
}

int Main(const QByteArrayList& arguments)
{
    QApplication::setWindowIcon(programIcon());
    QObject signalWatch;
    closeWindowsOnTerminationSignal(signalWatch);

    SingleInstanceLock lock;
    const SingleInstanceLock::Outcome locked = lock.tryAcquire();
    if (locked == SingleInstanceLock::Outcome::HeldElsewhere) {
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
    const ArgumentText command = argumentText(arguments);
    window.Form_Load(command.text);
    // Loading empties the event list; these notes come after it.
    if (locked == SingleInstanceLock::Outcome::Unavailable)
        window.postMessage(msg::instanceLockUnavailable(lock.failure()));
    for (const QString& name : command.unusable)
        window.postMessage(msg::unusableCommandLinePath(name));
    window.show();
    return QApplication::exec();
}

} // namespace ql
