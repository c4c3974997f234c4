#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

#include "link/DriveProvider.h"
#include "link/PassThrough.h"

namespace tarnwick {

// The current programmer: a shared reference to its device, the drive number it was found on
// (0 also meaning none) and its identity; the USB device in it tells a programmer plugged in
// again under the same drive number from the one that was opened. Discovery writes it on the
// display's thread; jobs read it from their own threads and keep their own reference, so dropping
// the device here never closes it under a running job. All members are safe to call from any
// thread.
class ProgrammerLink {
  public:
    std::shared_ptr<PassThrough> Device() const;
    std::int8_t DriveNumber() const;
    std::optional<UsbDeviceAddress> UsbDevice() const;
    StorageIdentity Identity() const;

    // Replaces device, drive number and identity and wakes every waiter.
    void Set(std::shared_ptr<PassThrough> device, std::int8_t driveNumber,
             StorageIdentity identity = {});
    void Clear() { Set(nullptr, 0); }

    // Sleeps until a device is present and returns it; nullptr once `stop` is requested.
    std::shared_ptr<PassThrough> WaitForDevice(std::stop_token stop) const;
    // As above, but gives up with nullptr at `deadline` too.
    std::shared_ptr<PassThrough> WaitForDevice(
        std::stop_token stop, std::chrono::steady_clock::time_point deadline) const;

  private:
    mutable std::mutex mutex;
    mutable std::condition_variable_any changed;
    std::shared_ptr<PassThrough> device;
    std::int8_t driveNumber = 0;
    StorageIdentity identity;
};

}  // namespace tarnwick
