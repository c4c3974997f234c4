#include "link/ProgrammerLink.h"

#include <utility>

namespace tarnwick {

std::shared_ptr<PassThrough> ProgrammerLink::Device() const {
    std::lock_guard lock(mutex);
    return device;
}

std::int8_t ProgrammerLink::DriveNumber() const {
    std::lock_guard lock(mutex);
    return driveNumber;
}

std::optional<UsbDeviceAddress> ProgrammerLink::UsbDevice() const {
    std::lock_guard lock(mutex);
    return identity.usbDevice;
}

StorageIdentity ProgrammerLink::Identity() const {
    std::lock_guard lock(mutex);
    return identity;
}

void ProgrammerLink::Set(std::shared_ptr<PassThrough> newDevice, std::int8_t newDriveNumber,
                         StorageIdentity newIdentity) {
    std::shared_ptr<PassThrough> previous;
    {
        std::lock_guard lock(mutex);
        previous = std::exchange(device, std::move(newDevice));
        driveNumber = newDriveNumber;
        identity = std::move(newIdentity);
    }
    changed.notify_all();
    // `previous` may close a device; done outside the lock so readers never wait on a close.
}

std::shared_ptr<PassThrough> ProgrammerLink::WaitForDevice(std::stop_token stop) const {
    std::unique_lock lock(mutex);
    changed.wait(lock, stop, [this] { return device != nullptr; });
    return device;
}

std::shared_ptr<PassThrough> ProgrammerLink::WaitForDevice(
    std::stop_token stop, std::chrono::steady_clock::time_point deadline) const {
    std::unique_lock lock(mutex);
    changed.wait_until(lock, stop, deadline, [this] { return device != nullptr; });
    return device;
}

}  // namespace tarnwick
