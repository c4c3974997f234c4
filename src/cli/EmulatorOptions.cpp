#include "cli/EmulatorOptions.h"

#include <CLI/CLI.hpp>

#include "emulator/options/FaultFlags.h"

namespace tarnwick::cli {

void AddEmulatorOptions(CLI::App& command, EmulatorOptions& o) {
    command
        .add_option_function<std::string>(
            "--emulate",
            [&o](const std::string& file) {
                o.enabled = true;
                o.flashFile = file;
            },
            "Use the emulated programmer instead of a real one; its flash is kept in "
            "FLASHFILE when given")
        ->expected(0, 1)
        ->type_name("[=FLASHFILE]")
        ->group("Emulated programmer");
    command
        .add_flag("--emulate-unplugged", o.unplugged,
                  "Start with the emulated programmer unplugged (to try --wait)")
        ->group("Emulated programmer");
    AddFaultOptions(command, o.faults);
}

BackendChoice ChosenBackend(const EmulatorOptions& o) {
    return BackendChoice{
        .emulate = o.enabled,
        .emulator = {.faults = o.faults, .flashFile = o.flashFile, .flashFileMustBeWritable = true},
        .unplugged = o.unplugged,
    };
}

}  // namespace tarnwick::cli
