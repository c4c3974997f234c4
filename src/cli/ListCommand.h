#pragma once

#include <ostream>

#include "cli/EmulatorOptions.h"
#include "link/ProgrammerDiscovery.h"

namespace CLI {
class App;
}

namespace tarnwick::cli {

struct ListOptions {
    bool json = false;
    EmulatorOptions emulator;
};

void AddListCommand(CLI::App& app, ListOptions& options);
int RunList(const ListOptions& options);

// A probe's verdict as the person reads it; Describe() keeps the English the JSON carries.
std::string ProbeText(const ProbeReport& probe);

// The scan as a person reads it: runs of missing drives folded into one line, each programmer
// with where it sits on USB.
void PrintScan(std::ostream& out, const ScanReport& report, const ProgrammerPresence& current);
// The scan for scripts: every probe, then the current programmer (or null).
void PrintScanJson(std::ostream& out, const ScanReport& report, const ProgrammerPresence& current);

}  // namespace tarnwick::cli
