#pragma once

#include <string>

#include "backend/Backend.h"
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

// The backend these options choose: the machine's drives, or the emulated programmer with a
// flash file that must be writable, since it is saved only after the job.
BackendChoice ChosenBackend(const EmulatorOptions& options);

}  // namespace tarnwick::cli
