#pragma once

#include <cstdint>
#include <string>

#include "link/DriveProvider.h"
#include "platform/linux/SysCalls.h"

struct udev;

namespace tarnwick {

// Drive n is the SCSI generic device /dev/sgN with N = n. Opens it with SgTransport and
// identifies exactly the device it opened: its device number leads (through libudev) to its
// sysfs directory, which ReadSysfsStorageIdentity then reads.
// Called on the display's thread only (a libudev context is not thread-safe). Construction
// throws std::system_error when libudev cannot be set up; Open reports every failure in its
// result.
class SysfsDriveProvider final : public DriveProvider {
  public:
    explicit SysfsDriveProvider(SysCalls& sys = SysCalls::Real());
    ~SysfsDriveProvider() override;
    SysfsDriveProvider(const SysfsDriveProvider&) = delete;
    SysfsDriveProvider& operator=(const SysfsDriveProvider&) = delete;

    OpenedDrive Open(std::int8_t drive) override;
    std::string DriveName(std::int8_t drive) const override;

  private:
    SysCalls& sys;
    udev* context;
};

}  // namespace tarnwick
