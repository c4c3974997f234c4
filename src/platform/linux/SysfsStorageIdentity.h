#pragma once

#include <filesystem>

#include "link/DriveProvider.h"
#include "link/Fault.h"

namespace tarnwick {

// Reads the storage identification of the device at `syspath`, a directory below
// `sysfsRoot`/devices (normally the scsi_generic device, e.g.
// /sys/devices/.../2:0:0:0/scsi_generic/sg2), the way libudev walks its parents:
// - usb: some parent belongs to subsystem "usb" with DEVTYPE=usb_device;
// - usbDevice: the `busnum` and `devnum` attributes of the nearest such parent; none when either
//   is missing or not a number;
// - usbPort: the name of that parent, the kernel's port path such as "1-2.3";
// - usbSerial: its `serial` attribute minus the line end; none when it is missing, empty or
//   cannot be read;
// - vendor: the `vendor` attribute of the nearest parent of subsystem "scsi" with
//   DEVTYPE=scsi_device, minus the one line end sysfs adds (blanks are kept); none when there is
//   no such parent or it has no vendor attribute.
// Blocks only for sysfs reads; any thread. Fails when `syspath` is not a device directory there
// or the vendor attribute cannot be read.
// Taking the root as a parameter lets tests run it over fixture trees.
Result<StorageIdentity> ReadSysfsStorageIdentity(const std::filesystem::path& sysfsRoot,
                                                 const std::filesystem::path& syspath);

}  // namespace tarnwick
