#include <QApplication>

#include "app/ProgrammerApp.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("tarnwick"));
    tarnwick::ProgrammerApp app;
    return app.InitInstance(QCoreApplication::arguments());
}
