#include "cli/Session.h"

#include <atomic>
#include <cstdlib>
#include <iostream>

#include "cli/ConsoleDisplay.h"
#include "cli/ExitCode.h"
#include "cli/OwnLines.h"
#include "cli/Terminal.h"
#include "platform/Console.h"

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
    // The worker's end wakes this thread at once, rather than at its next 100 ms look: that
    // wait would be part of every command's time.
    MainThreadWake wake;
    WithInterruptsBlocked([&] {
        runner.TryStart([&work, &ended, &wake, token = stop.get_token()](std::stop_token) {
            work(token);
            ended.store(true);
            wake.Notify();
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
        // signal that lands between the look at the flag and the wait, and the grace period.
        // Not shorter: a thread waking up ten times a second moves the job's thread between
        // CPUs and costs it time on every command.
        if (wake.Wait(monitor.get(),
                      leaveAt ? std::chrono::milliseconds(100) : std::chrono::milliseconds(1000))) {
            discovery.FollowDeviceChanges(*monitor);
        }
    }
    runner.StopAndJoin();
}

bool Session::WaitForDeviceChange(std::chrono::milliseconds timeout) {
    if (!idleWake.Wait(monitor.get(), timeout)) {
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
