#pragma once

#include <memory>
#include <string>

#include "emulator/EmulatedProgrammer.h"
#include "emulator/FaultOptions.h"

namespace CLI {
class App;
}

namespace tarnwick::cli {

// The emulated programmer as the command line sets it up, faults included, so that every
// command can be tried and every ending shown without hardware.
struct EmulatorOptions {
    bool enabled = false;
    std::string flashFile;   // kept across runs when given
    bool unplugged = false;  // nothing to find until a job gives up waiting
    FaultOptions faults;
};

void AddEmulatorOptions(CLI::App& command, EmulatorOptions& options);

// Builds the programmer, loading its flash file when one exists. Error text on failure, also
// when the flash file could not be saved afterwards: found out after a job it would come too
// late.
std::shared_ptr<EmulatedProgrammer> MakeEmulator(const EmulatorOptions& options,
                                                 std::string& error);

// Keeps the flash for the next run when a flash file was named. Error text, empty on success.
std::string SaveEmulator(const EmulatorOptions& options, const EmulatedProgrammer& programmer);

}  // namespace tarnwick::cli
