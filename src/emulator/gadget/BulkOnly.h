#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "link/Fault.h"

namespace tarnwick::gadget {

// USB Mass Storage Bulk-Only Transport: the 31-byte command block wrapper the host sends on the
// bulk-out pipe and the 13-byte command status wrapper the device answers with on bulk-in.
// Multi-byte fields are little-endian on the wire.
inline constexpr std::size_t kCbwSize = 31;
inline constexpr std::size_t kCswSize = 13;
inline constexpr std::uint32_t kCbwSignature = 0x43425355;  // "USBC"
inline constexpr std::uint32_t kCswSignature = 0x53425355;  // "USBS"

// The interface triple that makes a host bind usb-storage: mass storage, SCSI transparent
// command set, Bulk-Only Transport.
inline constexpr std::uint8_t kInterfaceClass = 0x08;
inline constexpr std::uint8_t kInterfaceSubClass = 0x06;
inline constexpr std::uint8_t kInterfaceProtocol = 0x50;

// Class requests on the control pipe.
inline constexpr std::uint8_t kRequestBulkOnlyReset = 0xFF;
inline constexpr std::uint8_t kRequestGetMaxLun = 0xFE;

enum class Direction { None, In, Out };

struct CommandBlockWrapper {
    std::uint32_t tag = 0;
    std::uint32_t dataTransferLength = 0;
    bool directionIn = false;  // bit 7 of bmCBWFlags; meaningless when the length is 0
    std::uint8_t lun = 0;
    std::uint8_t cbLength = 0;
    std::array<std::uint8_t, 16> cb{};

    // The data phase the host asks for.
    Direction HostDirection() const {
        if (dataTransferLength == 0) {
            return Direction::None;
        }
        return directionIn ? Direction::In : Direction::Out;
    }
};

// The CBW in `bytes`; fails saying why when it is not a valid one (wrong size or signature,
// reserved bits set, a command block length outside 1..16).
Result<CommandBlockWrapper> ParseCbw(std::span<const std::uint8_t> bytes);
// The opposite of ParseCbw, for tests and hosts.
std::array<std::uint8_t, kCbwSize> EncodeCbw(const CommandBlockWrapper& cbw);

enum class CswStatus : std::uint8_t { Passed = 0, Failed = 1, PhaseError = 2 };

std::array<std::uint8_t, kCswSize> EncodeCsw(std::uint32_t tag, std::uint32_t residue,
                                             CswStatus status);

}  // namespace tarnwick::gadget
