#include "app/DeviceChangeNotifier.h"

#include <QSocketNotifier>

namespace tarnwick {

std::unique_ptr<QObject> WatchDeviceChanges(DeviceChangeSource& source,
                                            std::function<void()> ready) {
    if (source.PollFd() < 0) {
        return nullptr;
    }
    auto notifier = std::make_unique<QSocketNotifier>(source.PollFd(), QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(),
                     [ready = std::move(ready)] { ready(); });
    return notifier;
}

}  // namespace tarnwick
