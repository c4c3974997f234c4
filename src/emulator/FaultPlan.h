#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>

namespace tarnwick {

// Misbehaviour the emulated programmer can be asked for, for tests and demos.
// Pages are named by their flash address, blocks by their index (address / 64 KiB).
// Every member has its initializer, so a plan names only its faults: {.resendPage = {{0, 2}}}.
struct FaultPlan {
    // The first N writes of the page get write status 1 (send again).
    std::map<std::uint32_t, int> resendPage{};
    // Writes of the page always get write status 2 (programming fault).
    std::set<std::uint32_t> failPage{};
    // The next N write-status replies after a write of the page echo the wrong sub-code.
    std::map<std::uint32_t, int> malformedStatus{};
    // The first N page-write commands of the page fail as requests (CHECK CONDITION): nothing
    // is programmed and the write status stays what it was.
    std::map<std::uint32_t, int> failWriteRequest{};
    // The next N write-status replies after a write of the page are cut short after their two
    // echo bytes (fc 07): the data phase moves 2 of the bytes asked for.
    std::map<std::uint32_t, int> shortStatus{};
    // The erase of this block is answered with a failure reply.
    std::optional<std::uint32_t> failEraseBlock{};
    // The link-status query goes unanswered (the exchange times out).
    bool muteLinkQuery = false;
    // After this many commands the programmer is gone: every later request fails.
    std::optional<std::uint64_t> dropAfterCommands{};
    // Time taken by each command, as a real programmer needs about a millisecond.
    std::chrono::microseconds latency{0};
};

}  // namespace tarnwick
