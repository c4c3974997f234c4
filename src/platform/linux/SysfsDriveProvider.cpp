#include "platform/linux/SysfsDriveProvider.h"

#include <libudev.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "link/ProgrammerDiscovery.h"
#include "platform/linux/SgTransport.h"
#include "platform/linux/SysfsStorageIdentity.h"

namespace tarnwick {

namespace {

struct UdevDeviceUnref {
    void operator()(udev_device* device) const { udev_device_unref(device); }
};

}  // namespace

Result<std::unique_ptr<SysfsDriveProvider>> SysfsDriveProvider::Create(SysCalls& sys) {
    errno = 0;
    udev* context = udev_new();
    if (context == nullptr) {
        const int error = errno != 0 ? errno : ENOMEM;
        return Fail(Fault::Because(std::strerror(error), error)
                        .Within("libudev: cannot create a context for reading sysfs"));
    }
    return std::unique_ptr<SysfsDriveProvider>(new SysfsDriveProvider(sys, context));
}

SysfsDriveProvider::SysfsDriveProvider(SysCalls& sys_, udev* context_)
    : sys(sys_), context(context_) {}

SysfsDriveProvider::~SysfsDriveProvider() {
    udev_unref(context);
}

std::string SysfsDriveProvider::NodeName(std::int8_t drive) {
    return drive >= 1 ? "/dev/sg" + std::to_string(drive - 1) : std::string();
}

std::optional<std::int8_t> SysfsDriveProvider::NumberOf(const std::string& node) {
    const std::string prefix = "/dev/sg";
    if (node.rfind(prefix, 0) != 0 || node.size() == prefix.size() ||
        node.size() > prefix.size() + 3) {
        return std::nullopt;
    }
    int n = 0;
    for (std::size_t i = prefix.size(); i < node.size(); ++i) {
        if (node[i] < '0' || node[i] > '9') {
            return std::nullopt;
        }
        n = n * 10 + (node[i] - '0');
    }
    // Drive n is /dev/sg(n-1): drive 0 stands for no programmer and has no node.
    if (n + 1 > kLastDriveNumber) {
        return std::nullopt;
    }
    return static_cast<std::int8_t>(n + 1);
}

std::string SysfsDriveProvider::DriveName(std::int8_t drive) const {
    return NodeName(drive);
}

OpenedDrive SysfsDriveProvider::Open(std::int8_t drive) {
    OpenedDrive result;
    if (drive < 1) {
        result.missing = true;
        result.fault = Fault::Because("drive " + std::to_string(drive) + " has no device node");
        return result;
    }
    const std::string name = DriveName(drive);
    auto transport = SgTransport::Open(sys, name);
    if (!transport) {
        result.missing = SgTransport::IsMissingDevice(transport.error().sysErrno);
        result.fault = std::move(transport.error());
        return result;
    }

    // Identified by the descriptor, not the name, so the answer is about the device that was
    // opened even if the numbering changed in between.
    struct stat st {};
    const bool statted = sys.Fstat((*transport)->Fd(), &st) == 0;
    const int statError = errno;
    result.device = std::move(*transport);
    if (!statted) {
        result.fault =
            Fault::Because(SysCalls::ErrorText(statError), statError).Within("cannot stat " + name);
        return result;
    }
    if (!S_ISCHR(st.st_mode)) {
        result.fault = Fault::Because(name + " is not a character device");
        return result;
    }
    const std::unique_ptr<udev_device, UdevDeviceUnref> device(
        udev_device_new_from_devnum(context, 'c', st.st_rdev));
    const std::string number =
        std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
    if (!device) {
        result.fault =
            Fault::Because("no sysfs entry for " + name + " (character device " + number + ")");
        return result;
    }
    const char* subsystem = udev_device_get_subsystem(device.get());
    if (subsystem == nullptr || std::string_view(subsystem) != "scsi_generic") {
        result.fault = Fault::Because(name + " (" + number + ") is not a SCSI generic device");
        return result;
    }
    const char* syspath = udev_device_get_syspath(device.get());
    auto identity = ReadSysfsStorageIdentity("/sys", syspath != nullptr ? syspath : "");
    if (!identity) {
        result.fault = std::move(identity.error()).Within(name);
        return result;
    }
    result.identity = *identity;
    return result;
}

}  // namespace tarnwick
