#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string_view>

#include "link/DeviceChangeSource.h"
#include "link/Fault.h"

struct udev;
struct udev_monitor;

namespace tarnwick {

// Device changes from the kernel's uevents through a libudev monitor: one notification per
// add, remove or change of a device in the subsystems scsi_generic, scsi and usb.
// Behaves as DeviceChangeSource says: the owner polls PollFd() and calls Dispatch() on its own
// thread; nothing runs on another thread. Create fails, naming the source, when the netlink
// socket cannot be set up.
class UdevMonitor final : public DeviceChangeSource {
  public:
    enum class Source {
        Automatic,  // Udev when a udev daemon runs, Kernel otherwise
        Udev,       // after the daemon applied its rules (device node permissions included)
        Kernel,     // straight from the kernel; containers have no udev daemon
    };

    static Result<std::unique_ptr<UdevMonitor>> Create(Source source = Source::Automatic);
    ~UdevMonitor() override;
    UdevMonitor(const UdevMonitor&) = delete;
    UdevMonitor& operator=(const UdevMonitor&) = delete;

    int PollFd() const override;
    std::size_t Dispatch(const DeviceChangeHandler& onChange) override;

    // "udev" or "kernel": the source actually listened to.
    const char* SourceName() const;

    // Whether an event is one that may change which drives qualify.
    static bool IsRelevant(std::string_view action, std::string_view subsystem);
    // Whether a udev daemon runs, judged by its control socket.
    static bool UdevDaemonRuns(const std::filesystem::path& control = "/run/udev/control");

  private:
    UdevMonitor() = default;

    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    const char* sourceName = "kernel";
};

}  // namespace tarnwick
