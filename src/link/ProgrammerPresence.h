#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "link/DriveProvider.h"

namespace tarnwick {

// The programmer a scan left current.
struct FoundProgrammer {
    std::int8_t drive = 0;
    std::string driveName;  // the platform's name of the drive, e.g. "/dev/sg0"
    // Its USB device, as in StorageIdentity; none, empty and none when it is not on USB.
    std::optional<UsbDeviceAddress> usbDevice;
    std::string usbPort;
    std::optional<std::string> usbSerial;

    // The drive under `drive` with what it said about itself.
    static FoundProgrammer Of(std::int8_t drive, std::string driveName, StorageIdentity identity) {
        return {drive, std::move(driveName), identity.usbDevice, std::move(identity.usbPort),
                std::move(identity.usbSerial)};
    }
};

// What discovery knows after a scan: the programmer, or none.
using ProgrammerPresence = std::optional<FoundProgrammer>;

// Told the presence after every scan, on the display's thread, before the scan returns; each
// front end shows it its own way. Must not scan again from inside.
using PresenceObserver = std::function<void(const ProgrammerPresence&)>;

}  // namespace tarnwick
