#include "platform/linux/UdevMonitor.h"

#include <libudev.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string>

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

Result<std::unique_ptr<UdevMonitor>> UdevMonitor::Create(Source source) {
    if (source == Source::Automatic) {
        source = UdevDaemonRuns() ? Source::Udev : Source::Kernel;
    }
    // Owned from the start, so its destructor frees whatever was set up before a failure.
    std::unique_ptr<UdevMonitor> self(new UdevMonitor);
    self->sourceName = source == Source::Udev ? "udev" : "kernel";
    auto fail = [&](int error, const char* step) {
        error = error != 0 ? error : EIO;
        return Fail(
            Fault::Because(std::strerror(error), error)
                .Within(std::string("udev monitor (") + self->sourceName + " source): " + step));
    };

    errno = 0;
    self->context = udev_new();
    if (self->context == nullptr) {
        return fail(errno, "cannot create a libudev context");
    }
    errno = 0;
    self->monitor = udev_monitor_new_from_netlink(self->context, self->sourceName);
    if (self->monitor == nullptr) {
        return fail(errno, "cannot open the netlink socket");
    }
    for (const char* subsystem : kSubsystems) {
        const int r =
            udev_monitor_filter_add_match_subsystem_devtype(self->monitor, subsystem, nullptr);
        if (r < 0) {
            return fail(-r, "cannot set the subsystem filter");
        }
    }
    if (const int r = udev_monitor_enable_receiving(self->monitor); r < 0) {
        return fail(-r, "cannot start receiving");
    }
    return self;
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
