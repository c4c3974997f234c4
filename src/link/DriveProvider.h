#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "link/Fault.h"
#include "link/PassThrough.h"

namespace tarnwick {

// Where a USB device sits on its bus. Plugging a device in again gives it a new device number,
// so two drives under the same drive number but with different addresses are two devices.
struct UsbDeviceAddress {
    int bus = 0;
    int device = 0;
    bool operator==(const UsbDeviceAddress&) const = default;
};

// What a drive says about itself: the two facts that tell a programmer from other drives, and
// which USB device it is, as a person finds it on the bench.
struct StorageIdentity {
    bool usb = false;  // the drive hangs off a USB device
    // The SCSI vendor identification exactly as the drive reports it, blanks included; none
    // when the drive reports no vendor identification at all.
    std::optional<std::string> vendor;
    // The USB device the drive hangs off; none when not on USB or when it cannot be told.
    std::optional<UsbDeviceAddress> usbDevice;
    // That device's port path, the kernel's name for it (e.g. "1-2.3": bus 1, hub port 2, its
    // port 3); it stays the same when the device is plugged into the same port again. Empty
    // when not on USB.
    std::string usbPort;
    // That device's serial number string; none when it reports none or an empty one.
    std::optional<std::string> usbSerial;
};

// The outcome of opening one drive number.
struct OpenedDrive {
    // The drive opened for reading and writing; nullptr when it could not be opened. Dropping
    // the last reference closes it.
    std::unique_ptr<PassThrough> device;
    bool missing = false;  // not opened because there is no such drive
    // The drive's identification; none when it could not be read (see `fault`).
    std::optional<StorageIdentity> identity;
    // Why the drive was not opened or not identified, naming the drive; none when it was both.
    std::optional<Fault> fault;
};

// The machine's drives by number, as the platform names them. Drive 0 names no drive: the
// number also stands for "no programmer", so Open(0) finds no such drive.
// Called on the display's thread only (discovery); Open blocks for the open and the
// identification (a few system calls, no device command). Never throws for a single drive:
// every failure comes back inside OpenedDrive.
class DriveProvider {
  public:
    virtual ~DriveProvider() = default;
    virtual OpenedDrive Open(std::int8_t drive) = 0;
    // The platform's name for drive n, e.g. "/dev/sg2" for drive 3, for messages; empty for 0.
    virtual std::string DriveName(std::int8_t drive) const = 0;
};

}  // namespace tarnwick
