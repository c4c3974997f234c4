#pragma once

#include <cstddef>
#include <cstdint>

#include "emulator/gadget/BulkOnly.h"
#include "emulator/gadget/ScsiTarget.h"

namespace tarnwick::gadget {

// The data phase as one side sees it: its direction and length.
struct Phase {
    Direction direction = Direction::None;
    std::uint32_t length = 0;
};

// What the host announced in the CBW.
inline Phase Announced(const CommandBlockWrapper& cbw) {
    return {cbw.HostDirection(), cbw.dataTransferLength};
}

// The data phase of one command, settled before it runs from what the host announced and what
// the command wants (the thirteen cases of the Bulk-Only Transport).
struct DataPhasePlan {
    bool phaseError = false;    // host and device disagree: the command does not run
    std::uint32_t receive = 0;  // data-out bytes handed to the command
    // Data-out bytes read after them and dropped: the host's data is always taken in full, so
    // that it goes straight on to the status.
    std::uint32_t discard = 0;
    bool operator==(const DataPhasePlan&) const = default;
};

DataPhasePlan PlanDataPhase(Phase host, Intent wanted);

// What goes back on bulk-in after the command: its data, a halt where a short packet cannot end
// the data phase, and the CSW. A reply shorter than the host asked for is a short data-in with
// the rest as residue, whatever the status: that is how a host learns that fewer bytes moved.
// A command that got no answer from the programmer sends nothing at all: the host times out
// and resets, which is what a real programmer that hangs or falls off the bus makes it do.
struct BulkReply {
    bool answered = true;    // false: neither data nor CSW
    std::uint32_t send = 0;  // data-in bytes, the first of the command's reply
    bool haltIn = false;     // after them
    std::uint32_t residue = 0;
    CswStatus status = CswStatus::Passed;
    bool operator==(const BulkReply&) const = default;
};

// `dataIn` is the size of the command's reply; `maxPacketIn` bulk-in's packet size (0 when not
// known, which halts every short data-in).
BulkReply PlanReply(Phase host, const DataPhasePlan& plan, Outcome outcome, std::size_t dataIn,
                    std::uint16_t maxPacketIn);

}  // namespace tarnwick::gadget
