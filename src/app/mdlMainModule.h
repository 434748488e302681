#pragma once

#include <QString>
#include <QStringList>

class QMessageBox;

namespace ql {

// The program's start-up procedure: refuses a second copy, otherwise shows the main
// window and runs until its last window closes. Returns the process exit code.
int Main();

// The command line's argument text: the arguments after the program's name,
// joined with one blank.
QString argumentText(const QStringList& arguments);

// The box a second copy shows before it ends.
void configureSecondInstanceBox(QMessageBox& box);

// Exit code of a copy refused because another one runs.
inline constexpr int kExitSecondInstance = 1;

} // namespace ql
