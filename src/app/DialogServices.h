#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>

#include "app/MessageRegistry.h"
#include "app/ProgrammerFileInfo.h"
#include "app/UserPrompts.h"
#include "jobs/FirmwarePath.h"
#include "jobs/TransferTest.h"
#include "link/DeviceChangeSource.h"
#include "link/DriveProvider.h"
#include "link/Fault.h"
#include "link/ProgrammerLink.h"
#include "service/ImageList.h"
#include "service/Scrambler.h"

namespace tarnwick {

// Opens the device-change notifications; throws (or returns nullptr) when they cannot be had.
using DeviceChangeOpener = std::function<Result<std::unique_ptr<DeviceChangeSource>>()>;

// What the main dialog works with, owned by the application (or a test) and outliving the
// dialog. Put together by DialogSession::Services.
struct DialogServices {
    ProgrammerLink& link;
    DriveProvider& drives;
    FirmwarePath& firmwarePath;
    ProgrammerFileInfo& fileInfo;
    UserPrompts& prompts;
    MessageRegistry& messages;
    // The session's registered images and its one scrambler: the application's, so they
    // live as long as the process, not as long as one dialog.
    ImageList& images;
    Scrambler& scrambler;
    // Called once, on the dialog's thread, by the dialog's initialisation.
    DeviceChangeOpener openDeviceChanges;
    // The job's one diagnostic line goes here.
    std::ostream& diagnostics;
    // The transfer test runs every cycle below this many bytes of flash, then ends.
    std::uint64_t transferTestBound = TransferTest::kDefaultBound;
};

// The state a run of the dialog keeps beyond the dialog itself, and the one builder of its
// service bundle: the application, the tests and the benchmarks add only the machine's side
// (drives, device changes), the person's side (prompts) and where diagnostics go.
struct DialogSession {
    ProgrammerLink link;
    FirmwarePath firmwarePath;
    ProgrammerFileInfo fileInfo;
    ImageList images;
    Scrambler scrambler;
    std::uint64_t transferTestBound = TransferTest::kDefaultBound;

    // Every reference must outlive the dialog given the bundle. The display messages are
    // registered in the process's registry.
    DialogServices Services(DriveProvider& drives, DeviceChangeOpener openDeviceChanges,
                            UserPrompts& prompts, std::ostream& diagnostics);
};

}  // namespace tarnwick
