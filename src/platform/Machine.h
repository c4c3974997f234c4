#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "link/DeviceChangeSource.h"
#include "link/DriveProvider.h"
#include "link/Fault.h"

namespace tarnwick {

// The machine's drives and device changes as this system offers them; each system's folder
// below has its own definitions, chosen by the build.

// Fails when the drives cannot be listed at all.
Result<std::unique_ptr<DriveProvider>> OpenMachineDrives();
// The system's name for drive n, for messages; empty for a number that names no drive.
std::string MachineDriveName(std::int8_t drive);
// The drive a person named (as --device): one the search reaches, 1 to 126; none for any other
// name.
std::optional<std::int8_t> MachineDriveNumber(const std::string& name);
// How a drive is named here, for help and usage texts: "/dev/sgN".
std::string MachineDriveForm();
// Which names MachineDriveNumber takes, for a usage error: "/dev/sgN with N from 0 to 125".
std::string MachineDriveNames();
// Fails naming the source when changes cannot be followed.
Result<std::unique_ptr<DeviceChangeSource>> OpenMachineDeviceChanges();

}  // namespace tarnwick
