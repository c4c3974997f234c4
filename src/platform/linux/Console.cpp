#include "platform/Console.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <csignal>

#include "link/DeviceChangeSource.h"

namespace tarnwick {

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

void PrepareConsole() {}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return {argv, argv + argc};
}

bool ErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

int ErrorColumns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0) {
        return size.ws_col;
    }
    return 0;
}

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) {
        return {};
    }
    return name;
}

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    // Restarted writes keep standard output whole; poll() still returns at once (it is never
    // restarted), which is what wakes the main thread's wait.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int InterruptCount() {
    return interrupts;
}

void WithInterruptsBlocked(const std::function<void()>& start) {
    // The new threads inherit the block, so a signal lands on the caller alone: on a worker it
    // would cut a system call short (EINTR) and turn an interrupt into a failed page.
    const sigset_t block = InterruptSignals();
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &block, &previous);
    start();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

// A pipe the worker writes a byte to. Without one (pipe2 failed) the waits only time out.
struct MainThreadWake::State {
    int fds[2] = {-1, -1};
};

MainThreadWake::MainThreadWake() : state(std::make_unique<State>()) {
    if (pipe2(state->fds, O_CLOEXEC) != 0) {
        state->fds[0] = state->fds[1] = -1;
    }
}

MainThreadWake::~MainThreadWake() {
    for (const int fd : state->fds) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

void MainThreadWake::Notify() {
    if (state->fds[1] >= 0) {
        [[maybe_unused]] const ssize_t written = write(state->fds[1], "", 1);
    }
}

bool MainThreadWake::Wait(DeviceChangeSource* changes, std::chrono::milliseconds timeout) {
    // A signal ends the poll at once: it is delivered to this thread alone. A negative
    // descriptor is left out by poll.
    std::array<pollfd, 2> fds{
        {{changes ? changes->PollFd() : -1, POLLIN, 0}, {state->fds[0], POLLIN, 0}}};
    return poll(fds.data(), fds.size(), static_cast<int>(timeout.count())) > 0 &&
           (fds[0].revents & POLLIN) != 0;
}

}  // namespace tarnwick
