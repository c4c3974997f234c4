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
#include "link/ProgrammerLink.h"
#include "service/ImageList.h"
#include "service/Scrambler.h"

namespace tarnwick {

// What the main dialog works with, owned by the application (or a test) and outliving the
// dialog.
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
    // Opens the device-change notifications; throws (or returns nullptr) when they cannot be
    // had. Called once, on the dialog's thread, by the dialog's initialisation.
    std::function<std::unique_ptr<DeviceChangeSource>()> openDeviceChanges;
    // The job's one diagnostic line goes here.
    std::ostream& diagnostics;
    // The transfer test runs every cycle below this many bytes of flash, then ends.
    std::uint64_t transferTestBound = TransferTest::kDefaultBound;
};

}  // namespace tarnwick
