#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "emulator/FaultPlan.h"
#include "emulator/NorFlash.h"
#include "link/Fault.h"

namespace tarnwick {

// The emulated programmer's size and misbehaviour, as the front ends' --emulate-* options give
// them (bound in emulator/options), so a test can hand the same faults to either.
struct FaultOptions {
    std::uint64_t flashSize = NorFlash::kDefaultSize;
    std::uint64_t latencyUs = 0;
    std::vector<std::string> resendPages;  // "ADDRESS:COUNT"
    std::vector<std::uint32_t> failPages;
    std::vector<std::string> malformedStatus;   // "ADDRESS:COUNT"
    std::vector<std::string> failWriteRequest;  // "ADDRESS:COUNT"
    std::vector<std::string> shortStatus;       // "ADDRESS:COUNT"
    std::int64_t failEraseBlock = -1;
    bool muteLink = false;
    std::int64_t dropAfter = -1;
};

// The fault plan the options describe; fails naming the option that is malformed.
Result<FaultPlan> MakeFaultPlan(const FaultOptions& options);

// Whether the flash size is one the programmer can have: a non-zero multiple of the erase
// block, at most 4 GiB.
bool ValidFlashSize(std::uint64_t size);

}  // namespace tarnwick
