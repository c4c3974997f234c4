#include "app/DeviceChangeNotifier.h"

#include <QWinEventNotifier>

#include "platform/windows/DiskChangeSource.h"

namespace tarnwick {

std::unique_ptr<QObject> WatchDeviceChanges(DeviceChangeSource& source,
                                            std::function<void()> ready) {
    // The disk notifications have no descriptor: their source sets an event while changes
    // wait, and Dispatch resets it.
    auto* disks = dynamic_cast<DiskChangeSource*>(&source);
    if (disks == nullptr) {
        return nullptr;
    }
    auto notifier = std::make_unique<QWinEventNotifier>(disks->WaitHandle());
    QObject::connect(notifier.get(), &QWinEventNotifier::activated, notifier.get(),
                     [ready = std::move(ready)] { ready(); });
    return notifier;
}

}  // namespace tarnwick
