#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

#include "backend/Backend.h"
#include "cli/EmulatorOptions.h"
#include "jobs/JobRunner.h"
#include "link/DeviceChangeSource.h"
#include "link/ProgrammerDiscovery.h"
#include "platform/Console.h"

namespace tarnwick::cli {

class ConsoleDisplay;

// The drives a command works on (the machine's, or the emulated programmer alone), discovery
// over them, and the main thread's loop: it follows device changes and Ctrl-C while a job
// runs on a worker. Lives on the main thread.
class Session {
  public:
    // Fails when the drives cannot be reached. `followChanges` also opens the hot-plug monitor
    // (needed to wait for a programmer).
    static tarnwick::Result<std::unique_ptr<Session>> Open(const EmulatorOptions& emulator,
                                                           bool followChanges,
                                                           ConsoleDisplay& console);

    ProgrammerLink& Link() { return link; }
    ProgrammerDiscovery& Discovery() { return discovery; }
    DriveProvider& Drives() { return backend->Drives(); }
    bool FollowsChanges() const { return monitor != nullptr; }
    // Tells about the programmer coming and going while a command runs.
    void SetAnnounceChanges(bool on) { announce = on; }

    // Runs `work` on a worker thread; meanwhile this thread rescans on every device change and
    // asks the work to stop on Ctrl-C or SIGTERM. Work that has not stopped kStopGrace after
    // that (a command the programmer has not answered, a file that will not open), or at a
    // second interrupt, is left behind: the process ends with the interrupted exit code.
    template <typename Result>
    Result Run(const std::function<Result(std::stop_token)>& work) {
        std::optional<Result> result;
        RunOnWorker([&](std::stop_token stop) { result = work(stop); });
        return std::move(*result);
    }

    static constexpr std::chrono::seconds kStopGrace{2};

    // Waits up to `timeout` for a device change or a signal, without scanning: the caller
    // scans its own way. True when devices changed. Needs the hot-plug monitor.
    bool WaitForDeviceChange(std::chrono::milliseconds timeout);

    // Keeps the emulated flash when a flash file was named.
    tarnwick::Result<void> Close();

  private:
    Session(std::unique_ptr<Backend> backend, ConsoleDisplay& console);

    void RunOnWorker(const std::function<void(std::stop_token)>& work);
    // Announces a change of presence; the first report after start-up only sets it.
    void ShowPresence(const ProgrammerPresence& presence);

    ProgrammerLink link;
    std::unique_ptr<Backend> backend;
    ConsoleDisplay& console;
    ProgrammerDiscovery discovery;
    std::unique_ptr<DeviceChangeSource> monitor;
    // What WaitForDeviceChange sleeps on; nothing notifies it (each job has its own, which its
    // end leaves notified), so one serves every wait of a station's day.
    MainThreadWake idleWake;
    JobRunner runner;
    bool announce = false;
    std::optional<bool> shownPresent;
};

}  // namespace tarnwick::cli
