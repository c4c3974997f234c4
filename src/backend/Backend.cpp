#include "backend/Backend.h"

#include "platform/Machine.h"

namespace tarnwick {

namespace {

class NoDrives final : public DriveProvider {
  public:
    OpenedDrive Open(std::int8_t drive) override {
        OpenedDrive opened;
        opened.missing = true;
        opened.fault = Fault::Because(DriveName(drive) + ": drives cannot be listed");
        return opened;
    }
    std::string DriveName(std::int8_t drive) const override { return MachineDriveName(drive); }
};

}  // namespace

Backend::Backend(std::unique_ptr<DriveProvider> drives_,
                 std::shared_ptr<EmulatedProgrammer> emulated_, EmulatorSetup setup_)
    : drives(std::move(drives_)), emulated(std::move(emulated_)), setup(std::move(setup_)) {}

Result<std::unique_ptr<Backend>> Backend::Open(const BackendChoice& choice) {
    if (!choice.emulate) {
        auto machine = OpenMachineDrives();
        if (!machine) {
            return Fail(std::move(machine.error()).Within("cannot list the machine's drives"));
        }
        return std::unique_ptr<Backend>(new Backend(std::move(*machine), nullptr, {}));
    }
    Result<std::shared_ptr<EmulatedProgrammer>> programmer =
        BuildEmulatedProgrammer(choice.emulator);
    if (!programmer) {
        return Fail(std::move(programmer.error()));
    }
    auto drives = std::make_unique<EmulatedDrives>(*programmer);
    if (choice.unplugged) {
        drives->Detach();
    }
    return std::unique_ptr<Backend>(
        new Backend(std::move(drives), std::move(*programmer), choice.emulator));
}

std::unique_ptr<Backend> Backend::WithoutDrives() {
    return std::unique_ptr<Backend>(new Backend(std::make_unique<NoDrives>(), nullptr, {}));
}

Result<std::unique_ptr<DeviceChangeSource>> Backend::OpenDeviceChanges() {
    return OpenMachineDeviceChanges();
}

Result<void> Backend::Close() const {
    return emulated ? KeepFlash(setup, *emulated) : Result<void>{};
}

}  // namespace tarnwick
