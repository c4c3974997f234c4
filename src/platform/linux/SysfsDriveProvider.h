#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "link/DriveProvider.h"
#include "platform/linux/SysCalls.h"

struct udev;

namespace tarnwick {

// Drive n (1 to 126) is the SCSI generic device /dev/sgN with N = n - 1, so every node from
// /dev/sg0 on can be the programmer; drive 0 has no node. Opens it with SgTransport and
// identifies exactly the device it opened: its device number leads (through libudev) to its
// sysfs directory, which ReadSysfsStorageIdentity then reads.
// Called on the display's thread only (a libudev context is not thread-safe). Create fails when
// libudev cannot be set up; Open reports every failure in its result.
class SysfsDriveProvider final : public DriveProvider {
  public:
    static Result<std::unique_ptr<SysfsDriveProvider>> Create(SysCalls& sys = SysCalls::Real());
    ~SysfsDriveProvider() override;
    SysfsDriveProvider(const SysfsDriveProvider&) = delete;
    SysfsDriveProvider& operator=(const SysfsDriveProvider&) = delete;

    OpenedDrive Open(std::int8_t drive) override;
    std::string DriveName(std::int8_t drive) const override;

    // "/dev/sg0" for drive 1; empty for drive 0, which names no node.
    static std::string NodeName(std::int8_t drive);
    // The drive of /dev/sgN (N from 0 to 125, at most three digits); none for anything else.
    static std::optional<std::int8_t> NumberOf(const std::string& node);

  private:
    SysfsDriveProvider(SysCalls& sys, udev* context);

    SysCalls& sys;
    udev* context;
};

}  // namespace tarnwick
