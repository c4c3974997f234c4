#include "cli/EmulatorOptions.h"

#include <CLI/CLI.hpp>
#include <filesystem>

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

std::shared_ptr<EmulatedProgrammer> MakeEmulator(const EmulatorOptions& o, std::string& error) {
    if (!ValidFlashSize(o.faults.flashSize)) {
        error = "--emulate-size must be a non-zero multiple of 64 KiB, at most 4 GiB";
        return nullptr;
    }
    std::optional<FaultPlan> plan = MakeFaultPlan(o.faults, &error);
    if (!plan) {
        return nullptr;
    }
    if (!o.flashFile.empty()) {
        error = CheckFlashFileWritable(o.flashFile);
        if (!error.empty()) {
            return nullptr;
        }
    }
    auto programmer =
        std::make_shared<EmulatedProgrammer>(static_cast<std::size_t>(o.faults.flashSize));
    programmer->SetFaults(std::move(*plan));
    if (!o.flashFile.empty() && std::filesystem::exists(o.flashFile)) {
        error = programmer->LoadFlash(o.flashFile);
        if (!error.empty()) {
            return nullptr;
        }
    }
    return programmer;
}

std::string SaveEmulator(const EmulatorOptions& o, const EmulatedProgrammer& programmer) {
    return o.flashFile.empty() ? std::string() : programmer.SaveFlash(o.flashFile);
}

}  // namespace tarnwick::cli
