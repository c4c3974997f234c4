#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/DeviceChangeSource.h"
#include "link/DriveProvider.h"
#include "link/ProgrammerPresence.h"

namespace tarnwick::test {

// Counts every open and close so tests see handles that were leaked or closed too early.
struct HandleCounter {
    int opens = 0;
    int closes = 0;
    int StillOpen() const { return opens - closes; }
};

class FakeDevice final : public PassThrough {
  public:
    FakeDevice(std::int8_t drive_, HandleCounter& counter_) : drive(drive_), counter(counter_) {
        ++counter.opens;
    }
    ~FakeDevice() override { ++counter.closes; }
    Result<void> Exchange(const PassThroughRequest&) override { return {}; }

    const std::int8_t drive;

  private:
    HandleCounter& counter;
};

// Drive numbers mapped to what a platform would find under them.
class FakeDriveProvider final : public DriveProvider {
  public:
    struct Drive {
        bool opens = true;  // false: exists but refuses to open
        bool identifies = true;
        StorageIdentity identity;
    };

    void Plug(std::int8_t n, Drive drive) { drives[n] = std::move(drive); }
    // `usb`: the USB device it hangs off, which changes when it is plugged in again.
    void PlugProgrammer(std::int8_t n, std::optional<UsbDeviceAddress> usb = std::nullopt) {
        Plug(n, Drive{true, true, StorageIdentity{true, "VORTAN  ", usb}});
    }
    void Unplug(std::int8_t n) { drives.erase(n); }

    OpenedDrive Open(std::int8_t n) override {
        attempts.push_back(n);
        OpenedDrive result;
        const auto it = drives.find(n);
        if (it == drives.end()) {
            result.missing = true;
            result.fault = Fault::Because("no such device");
            return result;
        }
        if (!it->second.opens) {
            result.fault = Fault::Because("Permission denied");
            return result;
        }
        result.device = std::make_unique<FakeDevice>(n, handles);
        if (it->second.identifies) {
            result.identity = it->second.identity;
        } else {
            result.fault = Fault::Because("no sysfs entry");
        }
        return result;
    }

    // Named as on Linux, where drive n is /dev/sg(n-1).
    std::string DriveName(std::int8_t n) const override {
        return n >= 1 ? "/dev/sg" + std::to_string(n - 1) : std::string();
    }

    std::vector<std::int8_t> attempts;  // every Open, in order
    HandleCounter handles;

  private:
    std::map<std::int8_t, Drive> drives;
};

// Records every presence reported, as words.
class RecordingView {
  public:
    PresenceObserver Observer() {
        return [this](const ProgrammerPresence& presence) {
            calls.emplace_back(presence ? "present" : "none");
        };
    }

    std::vector<std::string> calls;
};

// Hands out the changes queued in it on the next Dispatch.
class QueuedChangeSource final : public DeviceChangeSource {
  public:
    int PollFd() const override { return -1; }
    std::size_t Dispatch(const DeviceChangeHandler& onChange) override {
        const auto pending = std::move(queued);
        queued.clear();
        for (const auto& change : pending) {
            onChange(change);
        }
        return pending.size();
    }

    std::vector<DeviceChange> queued;
};

}  // namespace tarnwick::test
