#pragma once

#include <chrono>
#include <cstdint>

#include "link/CommandBlock.h"
#include "link/Fault.h"

namespace tarnwick {

enum class DataDirection { In, Out };

// One vendor command with its data phase.
struct PassThroughRequest {
    CommandBlock cdb{};
    DataDirection direction = DataDirection::In;
    std::uint32_t transferLength = 0;
    // Used in place, never copied: read for Out, written for In. Holds transferLength bytes.
    void* buffer = nullptr;
    std::chrono::milliseconds timeout{0};
};

// A way to send vendor command blocks to one programmer.
// Blocks until the device answered or the request's time-out ran out. One thread at a time
// per device. Succeeds only when the whole exchange succeeded, every byte of the data phase
// moved included; otherwise the fault says why, with what the device reported in its `scsi`
// part. A device that has gone away fails every request.
class PassThrough {
  public:
    virtual ~PassThrough() = default;
    virtual Result<void> Exchange(const PassThroughRequest& request) = 0;
};

}  // namespace tarnwick
