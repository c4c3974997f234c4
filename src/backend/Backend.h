#pragma once

#include <memory>

#include "emulator/EmulatedDrives.h"
#include "emulator/EmulatorSetup.h"
#include "link/DeviceChangeSource.h"
#include "link/DriveProvider.h"
#include "link/Fault.h"

namespace tarnwick {

// Which programmer the front ends talk to: the machine's drives, or the emulated programmer.
struct BackendChoice {
    bool emulate = false;
    EmulatorSetup emulator;
    bool unplugged = false;  // the emulated programmer starts unplugged
};

// The drives the desktop tool and the command line work on, built in one place: the machine's
// through the platform layer, or the emulated programmer alone as drive 1.
class Backend {
  public:
    // Fails when the machine's drives cannot be listed or the emulated programmer cannot be
    // built (its setup is wrong, its flash file unreadable).
    static Result<std::unique_ptr<Backend>> Open(const BackendChoice& choice);
    // A machine whose drives cannot be listed: every drive is missing, so no programmer is
    // ever found, but a front end can still run.
    static std::unique_ptr<Backend> WithoutDrives();

    // The machine's device changes (udev or the kernel's uevents; Windows' disk notifications). The
    // emulated programmer's plugging reaches discovery through its drives instead.
    static Result<std::unique_ptr<DeviceChangeSource>> OpenDeviceChanges();

    DriveProvider& Drives() { return *drives; }
    bool Emulated() const { return emulated != nullptr; }

    // Keeps the emulated flash in its file, when one was named.
    Result<void> Close() const;

  private:
    Backend(std::unique_ptr<DriveProvider> drives, std::shared_ptr<EmulatedProgrammer> emulated,
            EmulatorSetup setup);

    std::unique_ptr<DriveProvider> drives;
    std::shared_ptr<EmulatedProgrammer> emulated;
    EmulatorSetup setup;
};

}  // namespace tarnwick
