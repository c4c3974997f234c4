#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "emulator/EmulatedProgrammer.h"

namespace CLI {
class App;
}

namespace tarnwick::cli {

// The emulated programmer as the command line sets it up, faults included, so that every
// command can be tried and every ending shown without hardware.
struct EmulatorOptions {
    bool enabled = false;
    std::string flashFile;  // kept across runs when given
    std::uint64_t flashSize = NorFlash::kDefaultSize;
    std::uint64_t latencyUs = 0;
    std::vector<std::string> resendPages;  // "ADDRESS:COUNT"
    std::vector<std::uint32_t> failPages;
    std::vector<std::string> malformedStatus;  // "ADDRESS:COUNT"
    std::int64_t failEraseBlock = -1;
    bool muteLink = false;
    std::int64_t dropAfter = -1;
};

void AddEmulatorOptions(CLI::App& command, EmulatorOptions& options);

// Builds the programmer, loading its flash file when one exists. Error text on failure.
std::shared_ptr<EmulatedProgrammer> MakeEmulator(const EmulatorOptions& options,
                                                 std::string& error);

// Keeps the flash for the next run when a flash file was named. Error text, empty on success.
std::string SaveEmulator(const EmulatorOptions& options, const EmulatedProgrammer& programmer);

}  // namespace tarnwick::cli
