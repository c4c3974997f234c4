#pragma once

#include <atomic>
#include <memory>

#include "emulator/EmulatedProgrammer.h"
#include "link/DriveProvider.h"

namespace tarnwick {

// A machine whose only drive is the emulated programmer, plugged in as drive 3 (a number a
// real search reaches like any other). Attach and Detach play plugging and unplugging: a
// detached programmer is gone for every handle opened on it, as a real one is.
// Open is called on the display's thread; Attach/Detach from any thread.
class EmulatedDrives : public DriveProvider {
  public:
    static constexpr std::int8_t kDrive = 3;

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
};

}  // namespace tarnwick
