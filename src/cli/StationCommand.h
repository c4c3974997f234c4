#pragma once

#include <string>

#include "cli/EmulatorOptions.h"
#include "cli/JobReport.h"

namespace CLI {
class App;
}

namespace tarnwick::cli {

struct StationOptions {
    std::string file;
    bool verify = false;
    EmulatorOptions emulator;
    ReportOptions report;
};

void AddStationCommand(CLI::App& app, StationOptions& options);

// Writes every programmer plugged in, once per plug, until Ctrl-C; then prints the totals.
// Returns 0 when no job failed, kExitSomeFailed otherwise.
int RunStation(const StationOptions& options);

}  // namespace tarnwick::cli
