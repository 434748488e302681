#include "app/mdlMainModule.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Quorvalink"));
    return ql::Main();
}
