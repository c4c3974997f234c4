#include "app/StartOptions.h"

namespace tarnwick {

StartOptions StartOptions::Parse(const QStringList& arguments) {
    StartOptions options;
    const QString emulate = QStringLiteral("--emulate");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == u"--help" || argument == u"-h") {
            options.help = true;
        } else if (argument == u"--version") {
            options.version = true;
        } else if (argument == emulate && !options.emulate) {
            options.emulate = true;
        } else if (argument.startsWith(emulate + u'=') && !options.emulate) {
            options.emulate = true;
            options.flashFile = argument.mid(emulate.size() + 1);
            if (options.flashFile.isEmpty()) {
                options.error = QStringLiteral("--emulate= needs a flash file name");
            }
        } else {
            options.error = QStringLiteral("unexpected argument '%1'").arg(argument);
        }
        if (!options.error.isEmpty()) {
            break;
        }
    }
    return options;
}

QString StartOptions::Usage() {
    return QStringLiteral(
        "usage: tarnwick [--emulate[=FLASHFILE]]\n"
        "       tarnwick --help | --version\n"
        "  --emulate            run against the emulated programmer (drive 1)\n"
        "  --emulate=FLASHFILE  the same, keeping its flash in FLASHFILE between runs\n"
        "  --help, -h           print this and exit\n"
        "  --version            print the version and exit\n");
}

}  // namespace tarnwick
