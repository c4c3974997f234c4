#include "cli/Session.h"

#include <poll.h>

#include <system_error>

#include "cli/ConsoleDisplay.h"
#include "cli/Terminal.h"
#include "platform/linux/SysfsDriveProvider.h"
#include "platform/linux/UdevMonitor.h"

namespace tarnwick::cli {

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
            drives = std::make_unique<EmulatedDrives>(emulated);
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

bool Session::WaitBriefly(const std::function<bool()>& done) {
    if (done()) {
        return true;
    }
    if (Interrupted()) {
        runner.StopAndJoin();
        return done();
    }
    if (monitor) {
        pollfd fd{monitor->PollFd(), POLLIN, 0};
        if (poll(&fd, 1, 100) > 0) {
            discovery.FollowDeviceChanges(*monitor);
        }
    } else {
        poll(nullptr, 0, 100);
    }
    return done();
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
