#pragma once

#include "emulator/FaultOptions.h"

namespace CLI {
class App;
}

namespace tarnwick {

// The --emulate-* options, under the same names in tarnwick-cli and tarnwick-gadget. Apart
// from the emulator library, which has no command line of its own.
void AddFaultOptions(CLI::App& app, FaultOptions& options);

}  // namespace tarnwick
