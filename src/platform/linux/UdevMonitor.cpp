#include "platform/linux/UdevMonitor.h"

#include <libudev.h>

#include <array>
#include <cerrno>
#include <string>
#include <system_error>

namespace tarnwick {

namespace {

constexpr std::array<const char*, 3> kSubsystems = {"scsi_generic", "scsi", "usb"};

std::string Text(const char* value) {
    return value != nullptr ? value : "";
}

}  // namespace

bool UdevMonitor::IsRelevant(std::string_view action, std::string_view subsystem) {
    // bind, unbind, move, online and offline come in pairs with add or remove of the same
    // device; counting them would only repeat scans.
    if (action != "add" && action != "remove" && action != "change") {
        return false;
    }
    for (const char* wanted : kSubsystems) {
        if (subsystem == wanted) {
            return true;
        }
    }
    return false;
}

bool UdevMonitor::UdevDaemonRuns(const std::filesystem::path& control) {
    std::error_code ec;
    return std::filesystem::exists(control, ec);
}

UdevMonitor::UdevMonitor(Source source) {
    if (source == Source::Automatic) {
        source = UdevDaemonRuns() ? Source::Udev : Source::Kernel;
    }
    sourceName = source == Source::Udev ? "udev" : "kernel";

    auto fail = [&](int error, const char* step) {
        const std::string what = std::string("udev monitor (") + sourceName + " source): " + step;
        // The destructor does not run for a constructor that throws.
        if (monitor != nullptr) {
            udev_monitor_unref(monitor);
        }
        if (context != nullptr) {
            udev_unref(context);
        }
        throw std::system_error(error != 0 ? error : EIO, std::generic_category(), what);
    };

    errno = 0;
    context = udev_new();
    if (context == nullptr) {
        fail(errno, "cannot create a libudev context");
    }
    errno = 0;
    monitor = udev_monitor_new_from_netlink(context, sourceName);
    if (monitor == nullptr) {
        fail(errno, "cannot open the netlink socket");
    }
    for (const char* subsystem : kSubsystems) {
        const int r = udev_monitor_filter_add_match_subsystem_devtype(monitor, subsystem, nullptr);
        if (r < 0) {
            fail(-r, "cannot set the subsystem filter");
        }
    }
    if (const int r = udev_monitor_enable_receiving(monitor); r < 0) {
        fail(-r, "cannot start receiving");
    }
}

UdevMonitor::~UdevMonitor() {
    udev_monitor_unref(monitor);
    udev_unref(context);
}

int UdevMonitor::PollFd() const {
    return udev_monitor_get_fd(monitor);
}

const char* UdevMonitor::SourceName() const {
    return sourceName;
}

std::size_t UdevMonitor::Dispatch(const DeviceChangeHandler& onChange) {
    std::size_t delivered = 0;
    for (;;) {
        errno = 0;
        udev_device* device = udev_monitor_receive_device(monitor);  // the socket never blocks
        if (device == nullptr) {
            if (errno == ENOBUFS) {
                // The socket's buffer overflowed and events are lost; one rescan makes up for
                // all of them.
                onChange(DeviceChange{"overflow", "", ""});
                ++delivered;
                continue;
            }
            if (errno == EINTR) {
                continue;
            }
            return delivered;  // drained (EAGAIN), or a receive error that ends this round
        }
        DeviceChange change{Text(udev_device_get_action(device)),
                            Text(udev_device_get_subsystem(device)),
                            Text(udev_device_get_sysname(device))};
        udev_device_unref(device);
        if (IsRelevant(change.action, change.subsystem)) {
            onChange(change);
            ++delivered;
        }
    }
}

}  // namespace tarnwick
