#include "platform/windows/PhysicalDriveProvider.h"

#include <winioctl.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include "link/ProgrammerDiscovery.h"
#include "platform/windows/ScsiPassThrough.h"

namespace tarnwick {

std::string PhysicalDriveProvider::NodeName(std::int8_t drive) {
    return drive >= 0 && drive <= kLastDriveNumber ? "\\\\.\\PHYSICALDRIVE" + std::to_string(drive)
                                                   : std::string();
}

std::optional<std::int8_t> PhysicalDriveProvider::NumberOf(const std::string& name) {
    const std::string prefix = "\\\\.\\PHYSICALDRIVE";
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 3) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != prefix[i]) {
            return std::nullopt;
        }
    }
    int n = 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return std::nullopt;
        }
        n = n * 10 + (name[i] - '0');
    }
    if (n < 1 || n > kLastDriveNumber) {
        return std::nullopt;
    }
    return static_cast<std::int8_t>(n);
}

StorageIdentity PhysicalDriveProvider::IdentityOf(std::span<const std::uint8_t> returned) {
    StorageIdentity identity;
    constexpr std::size_t kFixedPart = offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties);
    if (returned.size() < kFixedPart) {
        return identity;
    }
    STORAGE_DEVICE_DESCRIPTOR fixed{};
    std::memcpy(&fixed, returned.data(), kFixedPart);
    identity.usb = fixed.BusType == BusTypeUsb;
    const std::size_t offset = fixed.VendorIdOffset;
    if (offset == 0 || offset >= returned.size()) {
        return identity;
    }
    const auto text = returned.subspan(offset);
    const auto end = std::find(text.begin(), text.end(), std::uint8_t{0});
    if (end != text.end()) {
        identity.vendor = std::string(text.begin(), end);
    }
    return identity;
}

OpenedDrive PhysicalDriveProvider::Open(std::int8_t drive) {
    OpenedDrive result;
    const std::string name = NodeName(drive);
    if (name.empty()) {
        result.missing = true;
        result.fault = Fault::Because("drive " + std::to_string(drive) + " has no device");
        return result;
    }
    auto device = ScsiPassThrough::Open(calls, name);
    if (!device) {
        result.missing = device.error().sysErrno == ENODEV;
        result.fault = std::move(device.error());
        return result;
    }

    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    // Room for the fixed part and the strings behind it; DWORD-aligned as the descriptor is.
    alignas(STORAGE_DEVICE_DESCRIPTOR) std::array<std::uint8_t, 1024> descriptor{};
    DWORD returned = 0;
    const HANDLE handle = (*device)->Handle();
    const bool asked = calls.IoControl(handle, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                                       descriptor.data(), descriptor.size(), &returned);
    const DWORD error = asked ? 0 : calls.LastError();
    result.device = std::move(*device);
    if (!asked) {
        result.fault = ScsiPassThrough::CallFault(error).Within(
            "cannot query the storage properties of " + name);
        return result;
    }
    result.identity =
        IdentityOf(std::span(descriptor).first(std::min<std::size_t>(returned, descriptor.size())));
    return result;
}

}  // namespace tarnwick
