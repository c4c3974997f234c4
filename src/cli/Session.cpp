#include "cli/Session.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <iostream>

#include "cli/ConsoleDisplay.h"
#include "cli/ExitCode.h"
#include "cli/OwnLines.h"
#include "cli/Terminal.h"

namespace tarnwick::cli {

namespace {

[[noreturn]] void LeaveJobBehind() {
    // Not through the console: the worker may hold it, blocked on a full standard output.
    std::cerr << (ProgressIsOnTerminal() ? "\n" : "") << "tarnwick-cli: "
              << Say("interrupted; the job has not stopped and is left unfinished") << std::endl;
    // Not exit(): that would join the worker, still blocked where it is.
    std::_Exit(kExitCancelled);
}

}  // namespace

Result<std::unique_ptr<Session>> Session::Open(const EmulatorOptions& emulator, bool followChanges,
                                               ConsoleDisplay& console) {
    Result<std::unique_ptr<Backend>> backend = Backend::Open(ChosenBackend(emulator));
    if (!backend) {
        return Fail(std::move(backend.error()));
    }
    std::unique_ptr<Session> session(new Session(std::move(*backend), console));
    if (followChanges && !emulator.enabled) {
        Result<std::unique_ptr<DeviceChangeSource>> monitor =
            Within(Backend::OpenDeviceChanges(), "cannot follow device changes");
        if (!monitor) {
            return Fail(std::move(monitor.error()));
        }
        session->monitor = std::move(*monitor);
    }
    return session;
}

Session::Session(std::unique_ptr<Backend> backend_, ConsoleDisplay& display)
    : backend(std::move(backend_)),
      console(display),
      discovery(link, backend->Drives(),
                [this](const ProgrammerPresence& presence) { ShowPresence(presence); }) {}

void Session::RunOnWorker(const std::function<void(std::stop_token)>& work) {
    // The session's own stop source, not the runner's: asking to stop must not wait for the
    // work to end.
    std::stop_source stop;
    std::atomic<bool> ended{false};
    // The worker's end wakes this thread at once through a pipe, rather than at its next
    // 100 ms look: that wait would be part of every command's time. Without the pipe the look
    // still comes.
    int wake[2] = {-1, -1};
    if (pipe2(wake, O_CLOEXEC) != 0) {
        wake[0] = wake[1] = -1;
    }
    WithInterruptsBlocked([&] {
        runner.TryStart([&work, &ended, token = stop.get_token(), done = wake[1]](std::stop_token) {
            work(token);
            ended.store(true);
            if (done >= 0) {
                [[maybe_unused]] const ssize_t written = write(done, "", 1);
            }
        });
    });
    std::optional<std::chrono::steady_clock::time_point> leaveAt;
    while (!ended.load()) {
        if (Interrupted() && !leaveAt) {
            stop.request_stop();
            leaveAt = std::chrono::steady_clock::now() + kStopGrace;
        }
        if (leaveAt && (std::chrono::steady_clock::now() >= *leaveAt || InterruptCount() > 1)) {
            LeaveJobBehind();
        }
        // Woken by the worker's end, a device change or a signal; the time-out only covers a
        // signal that lands between the look at the flag and the poll, and the grace period.
        // Not shorter: a thread waking up ten times a second moves the job's thread between
        // CPUs and costs it time on every command.
        WaitBriefly(wake[0], leaveAt || wake[0] < 0 ? std::chrono::milliseconds(100)
                                                    : std::chrono::milliseconds(1000));
    }
    runner.StopAndJoin();
    for (const int fd : wake) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

void Session::WaitBriefly(int workerEnded, std::chrono::milliseconds timeout) {
    // A signal ends the poll at once: it is delivered to this thread alone. A negative
    // descriptor is left out by poll.
    std::array<pollfd, 2> fds{
        {{monitor ? monitor->PollFd() : -1, POLLIN, 0}, {workerEnded, POLLIN, 0}}};
    if (poll(fds.data(), fds.size(), static_cast<int>(timeout.count())) > 0 &&
        (fds[0].revents & POLLIN) != 0) {
        discovery.FollowDeviceChanges(*monitor);
    }
}

bool Session::WaitForDeviceChange(std::chrono::milliseconds timeout) {
    pollfd fd{monitor ? monitor->PollFd() : -1, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(timeout.count())) <= 0 || (fd.revents & POLLIN) == 0) {
        return false;
    }
    return monitor->Dispatch([](const DeviceChange&) {}) > 0;
}

void Session::ShowPresence(const ProgrammerPresence& presence) {
    const bool present = presence.has_value();
    if (announce && shownPresent && present != *shownPresent) {
        console.Line(present ? Say("programmer found: {1}", {presence->driveName})
                             : Say("programmer gone"));
    }
    shownPresent = present;
}

Result<void> Session::Close() {
    return backend->Close();
}

}  // namespace tarnwick::cli
