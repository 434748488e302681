#include "app/mdlMainModule.h"
#include "common/ApplicationName.h"
#include "common/ProcessSignals.h"

#include <QApplication>

#include <cstdio>

namespace {

QByteArrayList commandLine(int argc, char* argv[])
{
    QByteArrayList arguments;
    for (int k = 0; k < argc; ++k)
        arguments.append(QByteArray(argv[k]));
    return arguments;
}

} // namespace

int main(int argc, char* argv[])
{
    // Asked before any display is opened: these work without one.
    if (const auto answer = ql::informationAnswer(commandLine(argc, argv))) {
        std::fputs(answer->toLocal8Bit().constData(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    ql::ignoreWriteFailureSignals();
    ql::TerminationSignals::install();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(ql::kApplicationName);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Quorvalink"));
    // The application has taken its own options (-platform and the like) out of argv.
    return ql::Main(commandLine(argc, argv));
}
