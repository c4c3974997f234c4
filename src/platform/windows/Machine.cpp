#include "platform/Machine.h"

#include "link/ProgrammerDiscovery.h"

#include "platform/windows/DiskChangeSource.h"
#include "platform/windows/PhysicalDriveProvider.h"

namespace tarnwick {

Result<std::unique_ptr<DriveProvider>> OpenMachineDrives() {
    return std::make_unique<PhysicalDriveProvider>();
}

std::string MachineDriveName(std::int8_t drive) {
    return PhysicalDriveProvider::NodeName(drive);
}

std::optional<std::int8_t> MachineDriveNumber(const std::string& name) {
    return PhysicalDriveProvider::NumberOf(name);
}

std::string MachineDriveForm() {
    return "\\\\.\\PHYSICALDRIVEn";
}

std::string MachineDriveNames() {
    return "\\\\.\\PHYSICALDRIVEn with n from 1 to " + std::to_string(kLastDriveNumber);
}

Result<std::unique_ptr<DeviceChangeSource>> OpenMachineDeviceChanges() {
    auto source = DiskChangeSource::Create();
    if (!source) {
        return Fail(std::move(source.error()));
    }
    return std::unique_ptr<DeviceChangeSource>(std::move(*source));
}

}  // namespace tarnwick
