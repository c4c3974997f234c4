#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

#include "link/CommandBlock.h"

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

// Why an exchange failed, for messages. Fields a transport cannot know stay 0.
struct TransferFault {
    int sysErrno = 0;
    int hostStatus = 0;
    int driverStatus = 0;
    int scsiStatus = 0;
    std::uint8_t senseLength = 0;
    std::array<std::uint8_t, 32> sense{};
    // Bytes of the data phase that did not move (SG_IO's resid); an exchange that moved fewer
    // bytes than asked failed, whatever its status.
    std::uint32_t residual = 0;
    std::string what;  // short cause, e.g. "SG_IO: No such device (ENODEV)"

    // `what`, followed by the SCSI status and sense bytes when there are any.
    std::string Describe() const;
};

// A way to send vendor command blocks to one programmer.
// Blocks until the device answered or the request's time-out ran out. One thread at a time
// per device. Returns true only when the whole exchange succeeded, every byte of the data phase
// moved included; otherwise false with the cause in *fault (when given). A device that has gone
// away fails every request.
class PassThrough {
  public:
    virtual ~PassThrough() = default;
    virtual bool Exchange(const PassThroughRequest& request, TransferFault* fault) = 0;
};

}  // namespace tarnwick
