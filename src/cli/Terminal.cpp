#include "cli/Terminal.h"

#include <pthread.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>

namespace tarnwick::cli {

namespace {
volatile std::sig_atomic_t interrupts = 0;  // written by the signal handler only
extern "C" void OnInterrupt(int) {
    interrupts = interrupts + 1;
}

sigset_t InterruptSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}
}  // namespace

bool ProgressIsOnTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

int TerminalColumns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    // Restarted writes keep standard output whole; poll() still returns at once (it is never
    // restarted), which is what wakes the main thread's loop.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() {
    return interrupts != 0;
}

int InterruptCount() {
    return interrupts;
}

void WithInterruptsBlocked(const std::function<void()>& start) {
    const sigset_t block = InterruptSignals();
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &block, &previous);
    start();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace tarnwick::cli
