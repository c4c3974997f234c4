#include "app/DialogServices.h"

#include <utility>

namespace tarnwick {

DialogServices DialogSession::Services(DriveProvider& drives, DeviceChangeOpener openDeviceChanges,
                                       UserPrompts& prompts, std::ostream& diagnostics) {
    return DialogServices{
        .link = link,
        .drives = drives,
        .firmwarePath = firmwarePath,
        .fileInfo = fileInfo,
        .prompts = prompts,
        .messages = MessageRegistry::Process(),
        .images = images,
        .scrambler = scrambler,
        .openDeviceChanges = std::move(openDeviceChanges),
        .diagnostics = diagnostics,
        .transferTestBound = transferTestBound,
    };
}

}  // namespace tarnwick
