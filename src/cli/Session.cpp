#include "cli/Session.h"

#include <poll.h>

#include <atomic>
#include <cstdlib>
#include <iostream>
#include <system_error>

#include "cli/ConsoleDisplay.h"
#include "cli/ExitCode.h"
#include "cli/Terminal.h"
#include "platform/linux/SysfsDriveProvider.h"
#include "platform/linux/UdevMonitor.h"

namespace tarnwick::cli {

namespace {

[[noreturn]] void LeaveJobBehind() {
    // Not through the console: the worker may hold it, blocked on a full standard output.
    std::cerr << (StdoutIsTerminal() ? "\n" : "")
              << "tarnwick-cli: interrupted; the job has not stopped and is left unfinished"
              << std::endl;
    // Not exit(): that would join the worker, still blocked where it is.
    std::_Exit(kExitCancelled);
}

}  // namespace

std::unique_ptr<Session> Session::Open(const EmulatorOptions& emulator, bool followChanges,
                                       ConsoleDisplay& console, std::string& error) {
    std::unique_ptr<DriveProvider> drives;
    std::shared_ptr<EmulatedProgrammer> emulated;
    try {
        if (emulator.enabled) {
            emulated = MakeEmulator(emulator, error);
            if (!emulated) {
                return nullptr;
            }
            auto emulatedDrives = std::make_unique<EmulatedDrives>(emulated);
            if (emulator.unplugged) {
                emulatedDrives->Detach();
            }
            drives = std::move(emulatedDrives);
        } else {
            drives = std::make_unique<SysfsDriveProvider>();
        }
    } catch (const std::system_error& e) {
        error = std::string("cannot list the machine's drives: ") + e.what();
        return nullptr;
    }
    std::unique_ptr<Session> session(
        new Session(std::move(drives), std::move(emulated), emulator, console));
    if (followChanges && !emulator.enabled) {
        try {
            session->monitor = std::make_unique<UdevMonitor>();
        } catch (const std::system_error& e) {
            error = std::string("cannot follow device changes: ") + e.what();
            return nullptr;
        }
    }
    return session;
}

Session::Session(std::unique_ptr<DriveProvider> provider,
                 std::shared_ptr<EmulatedProgrammer> programmer, const EmulatorOptions& emulator,
                 ConsoleDisplay& display)
    : drives(std::move(provider)),
      emulated(std::move(programmer)),
      emulatorOptions(emulator),
      console(display),
      discovery(link, *drives, *this) {}

void Session::RunOnWorker(const std::function<void(std::stop_token)>& work) {
    // The session's own stop source, not the runner's: asking to stop must not wait for the
    // work to end.
    std::stop_source stop;
    std::atomic<bool> ended{false};
    WithInterruptsBlocked([&] {
        runner.TryStart([&work, &ended, token = stop.get_token()](std::stop_token) {
            work(token);
            ended.store(true);
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
        WaitBriefly();
    }
    runner.StopAndJoin();
}

void Session::WaitBriefly() {
    // A signal ends either poll at once: it is delivered to this thread alone.
    if (monitor) {
        pollfd fd{monitor->PollFd(), POLLIN, 0};
        if (poll(&fd, 1, 100) > 0) {
            discovery.FollowDeviceChanges(*monitor);
        }
    } else {
        poll(nullptr, 0, 100);
    }
}

void Session::SetStatusIcon(int icon) {
    if (announce && shownIcon != 0 && icon != shownIcon) {
        console.Line(icon == kIconProgrammerPresent
                         ? "programmer found: " + drives->DriveName(link.DriveNumber())
                         : std::string("programmer gone"));
    }
    shownIcon = icon;
}

std::string Session::Close() {
    return emulated ? SaveEmulator(emulatorOptions, *emulated) : std::string();
}

}  // namespace tarnwick::cli
