#include "platform/Machine.h"

#include "link/ProgrammerDiscovery.h"

#include "platform/linux/SysfsDriveProvider.h"
#include "platform/linux/UdevMonitor.h"

namespace tarnwick {

Result<std::unique_ptr<DriveProvider>> OpenMachineDrives() {
    auto drives = SysfsDriveProvider::Create();
    if (!drives) {
        return Fail(std::move(drives.error()));
    }
    return std::unique_ptr<DriveProvider>(std::move(*drives));
}

std::string MachineDriveName(std::int8_t drive) {
    return SysfsDriveProvider::NodeName(drive);
}

std::optional<std::int8_t> MachineDriveNumber(const std::string& name) {
    return SysfsDriveProvider::NumberOf(name);
}

std::string MachineDriveForm() {
    return "/dev/sgN";
}

std::string MachineDriveNames() {
    return "/dev/sgN with N from 0 to " + std::to_string(kLastDriveNumber - 1);
}

Result<std::unique_ptr<DeviceChangeSource>> OpenMachineDeviceChanges() {
    auto monitor = UdevMonitor::Create();
    if (!monitor) {
        return Fail(std::move(monitor.error()));
    }
    return std::unique_ptr<DeviceChangeSource>(std::move(*monitor));
}

}  // namespace tarnwick
