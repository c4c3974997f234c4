#pragma once

#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/EmulatorOptions.h"
#include "link/PassThrough.h"
#include "link/ProgrammerDiscovery.h"

namespace CLI {
class App;
}

namespace tarnwick::cli {

class ConsoleDisplay;
class Session;

// Which programmer a command talks to: the current one after a scan, one named drive, or the
// first to appear while waiting.
struct TargetOptions {
    std::vector<std::string> devices;   // "/dev/sgN", one unless several are allowed; none: search
    bool wait = false;                  // wait for a programmer to be plugged in
    std::optional<double> waitSeconds;  // none: wait for as long as it takes
    EmulatorOptions emulator;
};

// `severalDevices`: --device may be given more than once.
void AddTargetOptions(CLI::App& command, TargetOptions& options, bool allowWait,
                      bool severalDevices = false);

// Finds the programmer the options name and makes it current in the session. Returns 0 or
// the exit code of the failure, after saying what it was. With --wait and none present yet,
// returns 0 with no programmer current: the job then waits for one.
int SelectProgrammer(const TargetOptions& options, Session& session, ConsoleDisplay& console);

// Opens the drive `path` names when it is the programmer; otherwise says why and gives the
// exit code.
std::expected<std::pair<std::unique_ptr<PassThrough>, ProbeReport>, int> OpenNamedProgrammer(
    const std::string& path, Session& session);

}  // namespace tarnwick::cli
