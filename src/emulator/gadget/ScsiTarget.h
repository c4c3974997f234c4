#pragma once

#include <array>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "emulator/gadget/BulkOnly.h"
#include "link/PassThrough.h"

namespace tarnwick::gadget {

// How the device answers a SCSI command.
enum class Outcome {
    Good,
    CheckCondition,  // failed; REQUEST SENSE tells why
    NoAnswer,        // the programmer never answers: neither data nor status goes back
    DeviceGone,      // the programmer fell off the bus: the gadget unplugs itself
};

struct CommandResult {
    Outcome outcome = Outcome::Good;
    std::vector<std::uint8_t> dataIn;  // what the device sends, for data-in commands
};

// The data phase a command wants from the device's point of view.
struct Intent {
    Direction direction = Direction::None;
    std::uint32_t length = 0;
};

// Fixed-format sense data, as REQUEST SENSE returns it.
struct Sense {
    std::uint8_t key = 0;
    std::uint8_t asc = 0;
    std::uint8_t ascq = 0;
};

inline constexpr std::uint8_t kSenseIllegalRequest = 0x05;
inline constexpr std::uint8_t kSenseHardwareError = 0x04;
inline constexpr std::uint8_t kAscInvalidOpcode = 0x20;
inline constexpr std::uint8_t kAscLbaOutOfRange = 0x21;
inline constexpr std::uint8_t kAscInvalidFieldInCdb = 0x24;
inline constexpr std::uint8_t kAscSavingNotSupported = 0x39;
inline constexpr std::uint8_t kAscInternalTargetFailure = 0x44;

// A logical unit as a Linux host meets it: the standard commands a host sends before and while
// it attaches a disk, on a small RAM disk, and the programmer's vendor commands (0xFB, 0xFC,
// 0xFD), which go to `programmer` unchanged. Anything else is refused with CHECK CONDITION and
// ILLEGAL REQUEST sense. Not thread-safe: one command at a time, from the bulk thread.
class ScsiTarget {
  public:
    struct Identity {
        std::string vendor = "VORTAN  ";  // 8 bytes, blanks kept
        std::string product = "Flash Programmer";
        std::string revision = "1.00";
    };

    static constexpr std::uint32_t kBlockSize = 512;
    // More than any vendor command moves (its length bytes say at most 65535); a larger data
    // phase is refused before it costs memory.
    static constexpr std::uint32_t kMaxVendorTransfer = 0x10000;

    ScsiTarget(PassThrough& programmer, Identity identity, std::uint32_t diskBlocks);

    static bool IsVendorCommand(std::uint8_t opcode);

    // The data phase the device wants for this command. Vendor commands take the host's word:
    // the programmer judges their data phase itself.
    Intent IntentFor(const CommandBlockWrapper& cbw) const;

    // Runs the command. `dataOut` holds what the host sent for a data-out command, exactly the
    // length IntentFor asked for; it may be changed. A vendor reply that the programmer cut
    // short is Good with only the bytes that moved in `dataIn`.
    CommandResult Execute(const CommandBlockWrapper& cbw, std::span<std::uint8_t> dataOut);

    // The sense REQUEST SENSE would return now.
    const Sense& PendingSense() const { return sense; }

  private:
    // The data a command answers with, or the sense it is refused with: an answer to the host
    // either way, not a failure of the target.
    using Reply = std::expected<std::vector<std::uint8_t>, Sense>;
    struct DiskSpan {
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
    };

    CommandResult Vendor(const CommandBlockWrapper& cbw, std::span<std::uint8_t> dataOut);
    Reply InquiryData(const CommandBlockWrapper& cbw) const;
    Reply ModeSenseData(const CommandBlockWrapper& cbw, bool tenByte) const;
    // The bytes of the RAM disk a READ(10) or WRITE(10) names; none when they lie beyond it.
    std::optional<DiskSpan> DiskRange(const CommandBlockWrapper& cbw) const;
    CommandResult Answer(Reply reply);
    CommandResult Fail(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq = 0);

    PassThrough& programmer;
    Identity identity;
    std::vector<std::uint8_t> disk;
    Sense sense;
};

// Fixed-format sense bytes (18) for `s`.
std::array<std::uint8_t, 18> FixedSense(const Sense& s);

}  // namespace tarnwick::gadget
