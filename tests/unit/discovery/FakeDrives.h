#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/DeviceChangeSource.h"
#include "link/DriveProvider.h"

namespace tarnwick::test {

// Counts itself in `open` while it lives, so tests see handles leaked or closed too early.
class FakeDevice final : public PassThrough {
  public:
    FakeDevice(std::int8_t drive_, int& open_) : drive(drive_), open(open_) { ++open; }
    ~FakeDevice() override { --open; }
    Result<void> Exchange(const PassThroughRequest&) override { return {}; }

    const std::int8_t drive;

  private:
    int& open;
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
    void PlugProgrammer(std::int8_t n, std::optional<UsbDeviceAddress> usb = std::nullopt,
                        std::string port = {}, std::optional<std::string> serial = {}) {
        Plug(n, Drive{true, true,
                      StorageIdentity{true, "VORTAN  ", usb, std::move(port), std::move(serial)}});
    }
    void Unplug(std::int8_t n) { drives.erase(n); }

    OpenedDrive Open(std::int8_t n) override {
        attempts.push_back(n);
        OpenedDrive result;
        const auto it = drives.find(n);
        result.missing = it == drives.end();
        if (result.missing || !it->second.opens) {
            result.fault = Fault::Because("cannot open");
            return result;
        }
        result.device = std::make_unique<FakeDevice>(n, stillOpen);
        if (it->second.identifies) {
            result.identity = it->second.identity;
        } else {
            result.fault = Fault::Because("no sysfs entry");
        }
        return result;
    }
    std::string DriveName(std::int8_t n) const override { return "/dev/sg" + std::to_string(n); }

    std::vector<std::int8_t> attempts;  // every Open, in order
    int stillOpen = 0;                  // devices handed out and not yet destroyed

  private:
    std::map<std::int8_t, Drive> drives;
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
