#include <QApplication>
#include <cstdio>

#include "app/ProgrammerApp.h"
#include "app/StartOptions.h"

int main(int argc, char** argv) {
    // --help and --version are answered before QApplication, which needs a display: they must
    // work where there is none (over ssh, in a package's checks).
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    const tarnwick::StartOptions early = tarnwick::StartOptions::Parse(arguments);
    if (early.version) {
        std::fputs("tarnwick " TARNWICK_VERSION_TEXT "\n", stdout);
        return 0;
    }
    if (early.help) {
        std::fputs(tarnwick::StartOptions::Usage().toLocal8Bit().constData(), stdout);
        return 0;
    }

    QApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tarnwick.Tarnwick"));
    tarnwick::ProgrammerApp app;
    return app.InitInstance(QCoreApplication::arguments());
}
