#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "link/DriveProvider.h"
#include "platform/windows/Win32Calls.h"

namespace tarnwick {

// The machine's drives as Windows numbers them: drive n is \\.\PHYSICALDRIVEn, 0 (the system
// disk as a rule) included. A drive is identified by IOCTL_STORAGE_QUERY_PROPERTY: its bus type
// and its vendor identification string. Windows tells neither the USB address nor the port of
// a disk through that call, so those stay unknown.
class PhysicalDriveProvider final : public DriveProvider {
  public:
    explicit PhysicalDriveProvider(Win32Calls& calls_ = Win32Calls::Real()) : calls(calls_) {}

    OpenedDrive Open(std::int8_t drive) override;
    std::string DriveName(std::int8_t drive) const override { return NodeName(drive); }

    // "\\.\PHYSICALDRIVE3" for 3; empty outside 0..126.
    static std::string NodeName(std::int8_t drive);
    // The drive of \\.\PHYSICALDRIVEn, in any case as Windows' names are (n from 1 to 126, at
    // most three digits: drive 0 is never searched); none for anything else.
    static std::optional<std::int8_t> NumberOf(const std::string& name);

    // What a STORAGE_DEVICE_DESCRIPTOR says, `returned` being the bytes the call filled in. A
    // descriptor cut short, a vendor offset of 0 or outside it, or a vendor string without its
    // NUL inside it gives no vendor.
    static StorageIdentity IdentityOf(std::span<const std::uint8_t> returned);

  private:
    Win32Calls& calls;
};

}  // namespace tarnwick
