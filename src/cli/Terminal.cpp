#include "cli/Terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>

namespace tarnwick::cli {

namespace {
volatile std::sig_atomic_t interrupted = 0;  // written by the signal handler only
extern "C" void OnInterrupt(int) {
    interrupted = 1;
}
}  // namespace

bool StdoutIsTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

int TerminalColumns() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() {
    return interrupted != 0;
}

}  // namespace tarnwick::cli
