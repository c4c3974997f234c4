#pragma once

#include <functional>
#include <memory>

#include <QObject>

#include "link/DeviceChangeSource.h"

namespace tarnwick {

// Calls `ready` on the calling thread's event loop whenever `source` has changes waiting for
// Dispatch. Each system waits on its own kind of handle (a descriptor here, an event object on
// Windows); the build picks the definition. The returned object must not outlive `source`.
// Null when `source` offers nothing this system can wait on.
std::unique_ptr<QObject> WatchDeviceChanges(DeviceChangeSource& source,
                                            std::function<void()> ready);

}  // namespace tarnwick
