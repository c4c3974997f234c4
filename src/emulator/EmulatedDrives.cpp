#include "emulator/EmulatedDrives.h"

#include <utility>

namespace tarnwick {

namespace {

// One open handle on the emulated programmer; the programmer outlives every handle.
class EmulatedHandle : public PassThrough {
  public:
    explicit EmulatedHandle(std::shared_ptr<EmulatedProgrammer> target)
        : programmer(std::move(target)) {}
    bool Exchange(const PassThroughRequest& request, TransferFault* fault) override {
        return programmer->Exchange(request, fault);
    }

  private:
    std::shared_ptr<EmulatedProgrammer> programmer;
};

}  // namespace

EmulatedDrives::EmulatedDrives(std::shared_ptr<EmulatedProgrammer> target)
    : programmer(std::move(target)) {}

OpenedDrive EmulatedDrives::Open(std::int8_t drive) {
    OpenedDrive opened;
    if (drive != kDrive || !attached.load()) {
        opened.missing = true;
        opened.error = DriveName(drive) + ": no such device";
        return opened;
    }
    opened.device = std::make_unique<EmulatedHandle>(programmer);
    opened.identity = StorageIdentity{true, std::string("VORTAN  ")};
    return opened;
}

std::string EmulatedDrives::DriveName(std::int8_t drive) const {
    return "emulated drive " + std::to_string(drive);
}

void EmulatedDrives::Attach() {
    programmer->SetPresent(true);
    attached.store(true);
}

void EmulatedDrives::Detach() {
    attached.store(false);
    programmer->SetPresent(false);
}

}  // namespace tarnwick
