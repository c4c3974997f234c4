#pragma once

#include <cstdint>
#include <memory>
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
// Fails naming the source when changes cannot be followed.
Result<std::unique_ptr<DeviceChangeSource>> OpenMachineDeviceChanges();

}  // namespace tarnwick
