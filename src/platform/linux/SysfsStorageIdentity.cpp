#include "platform/linux/SysfsStorageIdentity.h"

#include <array>
#include <charconv>
#include <fstream>
#include <system_error>

namespace tarnwick {

namespace {

namespace fs = std::filesystem;

// The last part of the `subsystem` link ("../../bus/usb" -> "usb"); empty without one.
std::string Subsystem(const fs::path& device) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(device / "subsystem", ec);
    return ec ? std::string() : target.filename().string();
}

// DEVTYPE from the device's uevent file; empty without one.
std::string DevType(const fs::path& device) {
    std::ifstream uevent(device / "uevent");
    std::string line;
    while (std::getline(uevent, line)) {
        if (line.starts_with("DEVTYPE=")) {
            return line.substr(8);
        }
    }
    return {};
}

// A small decimal attribute such as busnum or devnum ("3\n"); none when missing or malformed.
std::optional<int> NumberAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string text;
    if (!std::getline(in, text)) {
        return std::nullopt;
    }
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || stop != end || stop == text.data() || value < 0) {
        return std::nullopt;
    }
    return value;
}

// The whole of a small attribute file. A read error (EIO from a drive pulled during the scan,
// EISDIR) is a failure, not an exception: stream iterators would let the file buffer's
// exception escape and end the program on the display's thread.
bool ReadSmallFile(const fs::path& file, std::string& value) {
    std::ifstream in(file, std::ios::binary);
    std::array<char, 256> chunk;
    value.clear();
    while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0) {
        value.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    }
    return in.eof() && !in.bad();
}

bool IsBelow(const fs::path& path, const fs::path& directory) {
    const std::string& p = path.native();
    const std::string& d = directory.native();
    return p.size() > d.size() + 1 && p.starts_with(d) && p[d.size()] == '/';
}

}  // namespace

Result<StorageIdentity> ReadSysfsStorageIdentity(const fs::path& sysfsRoot,
                                                 const fs::path& syspath) {
    const fs::path devices = (sysfsRoot / "devices").lexically_normal();
    fs::path device = syspath.lexically_normal();
    if (!device.has_filename()) {
        device = device.parent_path();  // a trailing slash
    }
    std::error_code ec;
    if (!IsBelow(device, devices) || !fs::is_directory(device, ec)) {
        return Fail("no device " + syspath.string() + " in sysfs");
    }

    StorageIdentity identity;
    bool scsiDeviceSeen = false;
    for (; IsBelow(device, devices); device = device.parent_path()) {
        const std::string subsystem = Subsystem(device);
        if (subsystem.empty()) {
            continue;  // a plain directory such as "scsi_generic", not a device
        }
        const std::string devType = DevType(device);
        if (!scsiDeviceSeen && subsystem == "scsi" && devType == "scsi_device") {
            scsiDeviceSeen = true;
            const fs::path attribute = device / "vendor";
            if (fs::exists(attribute, ec)) {
                std::string value;
                if (!ReadSmallFile(attribute, value)) {
                    return Fail("cannot read " + attribute.string());
                }
                if (!value.empty() && value.back() == '\n') {
                    value.pop_back();  // sysfs's line end; the blanks belong to the value
                }
                identity.vendor = std::move(value);
            }
        }
        if (subsystem == "usb" && devType == "usb_device") {
            identity.usb = true;
            const auto bus = NumberAttribute(device / "busnum");
            const auto number = NumberAttribute(device / "devnum");
            if (bus && number) {
                identity.usbDevice = UsbDeviceAddress{*bus, *number};
            }
            identity.usbPort = device.filename().string();
            const fs::path serial = device / "serial";
            std::string value;
            // A serial that cannot be read only leaves the device harder to tell apart; the
            // drive is still identified.
            if (fs::exists(serial, ec) && ReadSmallFile(serial, value)) {
                if (!value.empty() && value.back() == '\n') {
                    value.pop_back();
                }
                if (!value.empty()) {
                    identity.usbSerial = std::move(value);
                }
            }
            break;  // nothing above a USB device changes the answer
        }
    }
    return identity;
}

}  // namespace tarnwick
