#pragma once

#include <memory>
#include <string>

#include "emulator/EmulatedProgrammer.h"
#include "emulator/FaultOptions.h"
#include "link/Fault.h"

namespace tarnwick {

// What an emulated programmer is made of, whichever front end serves it: flash size and
// faults, and the image file its flash is kept in between runs.
struct EmulatorSetup {
    FaultOptions faults;
    std::string flashFile;  // loaded when it exists, written by KeepFlash; empty: none
    // Refuse a flash file that could not be written back, for a front end that saves it only
    // after a job, when the failure would come too late.
    bool flashFileMustBeWritable = false;
};

// The programmer with its fault plan and, when the flash file exists, its flash loaded.
Result<std::shared_ptr<EmulatedProgrammer>> BuildEmulatedProgrammer(const EmulatorSetup& setup);

// Writes the flash to the setup's flash file; nothing to do when it names none.
Result<void> KeepFlash(const EmulatorSetup& setup, const EmulatedProgrammer& programmer);

}  // namespace tarnwick
