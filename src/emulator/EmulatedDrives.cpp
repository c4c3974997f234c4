#include "emulator/EmulatedDrives.h"

#include <cerrno>
#include <utility>

#include "platform/Machine.h"

namespace tarnwick {

namespace {

// One open handle on the emulated programmer; the programmer outlives every handle.
class EmulatedHandle : public PassThrough {
  public:
    EmulatedHandle(std::shared_ptr<EmulatedProgrammer> target,
                   std::shared_ptr<std::atomic<std::uint64_t>> cycle)
        : programmer(std::move(target)), plugCycle(std::move(cycle)), openedIn(plugCycle->load()) {}
    Result<void> Exchange(const PassThroughRequest& request) override {
        if (plugCycle->load() != openedIn) {
            return Fail(
                Fault::Because("device gone (ENODEV)", ENODEV).Within("emulated programmer"));
        }
        return programmer->Exchange(request);
    }

  private:
    std::shared_ptr<EmulatedProgrammer> programmer;
    std::shared_ptr<std::atomic<std::uint64_t>> plugCycle;
    std::uint64_t openedIn;
};

}  // namespace

EmulatedDrives::EmulatedDrives(std::shared_ptr<EmulatedProgrammer> target)
    : programmer(std::move(target)) {}

OpenedDrive EmulatedDrives::Open(std::int8_t drive) {
    OpenedDrive opened;
    if (drive != kDrive || !attached.load()) {
        opened.missing = true;
        opened.fault =
            Fault::Because(drive >= 1 ? DriveName(drive) + ": no such device"
                                      : "drive " + std::to_string(drive) + " has no device node");
        return opened;
    }
    opened.device = std::make_unique<EmulatedHandle>(programmer, plugCycle);
    // Device numbers 2..127 on bus 1, one further on every plug, as a USB bus hands them out.
    const auto number = static_cast<int>(2 + plugCycle->load() % 126);
    // No port path and no serial: there is no USB device a person could find.
    opened.identity = StorageIdentity{true, std::string("VORTAN  "), UsbDeviceAddress{1, number},
                                      std::string(), std::nullopt};
    return opened;
}

std::string EmulatedDrives::DriveName(std::int8_t drive) const {
    // Named as the machine would name the drive, so that a message reads the same with and
    // without the emulator.
    return drive >= 1 ? "emulated " + MachineDriveName(drive) : std::string();
}

void EmulatedDrives::Attach() {
    programmer->SetPresent(true);
    attached.store(true);
}

void EmulatedDrives::Detach() {
    attached.store(false);
    plugCycle->fetch_add(1);
    programmer->SetPresent(false);
}

}  // namespace tarnwick
