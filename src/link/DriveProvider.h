#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "link/PassThrough.h"

namespace tarnwick {

// What a drive says about itself; the two facts that tell a programmer from other drives.
struct StorageIdentity {
    bool usb = false;  // the drive hangs off a USB device
    // The SCSI vendor identification exactly as the drive reports it, blanks included; none
    // when the drive reports no vendor identification at all.
    std::optional<std::string> vendor;
};

// The outcome of opening one drive number.
struct OpenedDrive {
    // The drive opened for reading and writing; nullptr when it could not be opened. Dropping
    // the last reference closes it.
    std::unique_ptr<PassThrough> device;
    bool missing = false;  // not opened because there is no such drive
    // The drive's identification; none when it could not be read (see `error`).
    std::optional<StorageIdentity> identity;
    // Why the drive was not opened or not identified, with the drive's name, for a person.
    std::string error;
};

// The machine's drives by number, as the platform names them.
// Called on the display's thread only (discovery); Open blocks for the open and the
// identification (a few system calls, no device command). Never throws for a single drive:
// every failure comes back inside OpenedDrive.
class DriveProvider {
  public:
    virtual ~DriveProvider() = default;
    virtual OpenedDrive Open(std::int8_t drive) = 0;
    // The platform's name for drive n, e.g. "/dev/sg2", for messages.
    virtual std::string DriveName(std::int8_t drive) const = 0;
};

}  // namespace tarnwick
