#pragma once

#include <QString>
#include <QStringList>

namespace tarnwick {

// The command line: `tarnwick` or `tarnwick --emulate[=FLASHFILE]`, or --help or --version
// (Qt's own options are taken out by QApplication before this sees the arguments). Pure; any
// thread.
struct StartOptions {
    bool help = false;     // --help or -h: print Usage() and stop
    bool version = false;  // --version: print the version and stop
    bool emulate = false;
    QString flashFile;  // kept between runs when given
    QString error;      // set when the command line is not one of the two forms

    static StartOptions Parse(const QStringList& arguments);  // arguments[0] is the program
    static QString Usage();
};

}  // namespace tarnwick
