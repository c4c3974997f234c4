#include "emulator/EmulatorSetup.h"

#include <filesystem>
#include <system_error>

namespace tarnwick {

Result<std::shared_ptr<EmulatedProgrammer>> BuildEmulatedProgrammer(const EmulatorSetup& setup) {
    if (!ValidFlashSize(setup.faults.flashSize)) {
        return Fail("--emulate-size must be a non-zero multiple of 64 KiB, at most 4 GiB");
    }
    Result<FaultPlan> plan = MakeFaultPlan(setup.faults);
    if (!plan) {
        return Fail(std::move(plan.error()));
    }
    if (setup.flashFileMustBeWritable && !setup.flashFile.empty()) {
        if (auto writable = CheckFlashFileWritable(setup.flashFile); !writable) {
            return Fail(std::move(writable.error()));
        }
    }
    auto programmer =
        std::make_shared<EmulatedProgrammer>(static_cast<std::size_t>(setup.faults.flashSize));
    programmer->SetFaults(std::move(*plan));
    std::error_code ec;
    if (!setup.flashFile.empty() && std::filesystem::exists(setup.flashFile, ec)) {
        if (auto loaded = programmer->LoadFlash(setup.flashFile); !loaded) {
            return Fail(std::move(loaded.error()));
        }
    }
    return programmer;
}

Result<void> KeepFlash(const EmulatorSetup& setup, const EmulatedProgrammer& programmer) {
    if (setup.flashFile.empty()) {
        return {};
    }
    return programmer.SaveFlash(setup.flashFile);
}

}  // namespace tarnwick
