#pragma once

#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <optional>

class QMessageBox;
class QObject;

namespace ql {

// The program's start-up procedure: refuses a second copy, otherwise shows the main
// window and runs until its last window closes. `arguments` are the command line's
// bytes, the program's name first. Returns the process exit code.
int Main(const QByteArrayList& arguments);

// The answer to a command line that only asks about the program (exactly "--help"
// or "--version"), given without a display or the single-instance lock; none for
// every other command line.
std::optional<QString> informationAnswer(const QByteArrayList& arguments);

// The command line's argument text: the arguments after the program's name, joined
// with one blank, each "#" field decoded as the system decodes file names. A field
// that no file name here can carry (bytes that are not valid text) is left empty,
// so that no other file is used in its place, and its name as shown is listed.
struct ArgumentText {
    QString text;
    QStringList unusable;
};
ArgumentText argumentText(const QByteArrayList& arguments);

// A termination signal (see TerminationSignals) closes every window as the
// operator would; a running transfer is aborted first and what it received kept.
void closeWindowsOnTerminationSignal(QObject& owner);

// The box a second copy shows before it ends.
void configureSecondInstanceBox(QMessageBox& box);

// Exit code of a copy refused because another one runs.
inline constexpr int kExitSecondInstance = 1;

} // namespace ql
