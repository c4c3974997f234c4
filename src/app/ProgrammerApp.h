#pragma once

#include <QStringList>

namespace tarnwick {

// The application: one running copy per log-in session, the programmer (the machine's drives,
// or the emulated one with --emulate), and the main dialog run modally until it closes.
// Main thread only; InitInstance blocks for the whole run. Needs a QApplication.
class ProgrammerApp {
  public:
    // Returns the process's exit code: 0 after the dialog ran, and also when another copy was
    // already running (the person has been told); 2 for a command line it does not take.
    int InitInstance(const QStringList& arguments);
};

}  // namespace tarnwick
