#pragma once

#include <atomic>
#include <memory>

#include "emulator/EmulatedProgrammer.h"
#include "link/DriveProvider.h"

namespace tarnwick {

// A machine whose only drive is the emulated programmer, plugged in as drive 1 and named like
// /dev/sg0, as on a laptop whose only SCSI device is the programmer. Attach and Detach play
// plugging and unplugging: a detached programmer is gone for every handle opened on it, and
// stays gone for those handles when it is plugged in again, as a real one is; like a real one
// it comes back with another USB device number.
// Open is called on the display's thread; Attach/Detach from any thread.
class EmulatedDrives : public DriveProvider {
  public:
    static constexpr std::int8_t kDrive = 1;

    explicit EmulatedDrives(std::shared_ptr<EmulatedProgrammer> programmer);

    OpenedDrive Open(std::int8_t drive) override;
    std::string DriveName(std::int8_t drive) const override;

    void Attach();
    void Detach();
    bool Attached() const { return attached.load(); }
    const std::shared_ptr<EmulatedProgrammer>& Programmer() const { return programmer; }

  private:
    std::shared_ptr<EmulatedProgrammer> programmer;
    std::atomic<bool> attached{true};
    // Bumped on every unplug; a handle works only in the plug cycle it was opened in.
    std::shared_ptr<std::atomic<std::uint64_t>> plugCycle =
        std::make_shared<std::atomic<std::uint64_t>>(0);
};

}  // namespace tarnwick
