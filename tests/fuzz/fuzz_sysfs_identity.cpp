// A sysfs tree built from the fuzz input, from the PCI root down to a scsi_generic device: each
// directory's subsystem link and DEVTYPE, a vendor attribute holding input bytes (or a
// directory in its place), busnum and devnum holding input bytes, and the path asked for; then
// the identity read from it. The fixture tree in SysfsStorageIdentityTest pins the addresses of
// real machines; here the oracle is what holds for any bytes: USB exactly when a parent is a USB
// device, the vendor exactly its attribute's bytes less one line end, a failure for a missing
// device or an unreadable vendor.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/linux/SysfsStorageIdentity.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

void Expect(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "oracle violated: %s\n", what);
        std::abort();
    }
}

constexpr std::array<const char*, 9> kParents = {"pci0000:00",  "0000:00:14.0", "usb1",
                                                 "1-4",         "1-4:1.0",      "host4",
                                                 "target4:0:0", "4:0:0:0",      "scsi_generic"};
constexpr std::size_t kFirstScsiLevel = 5;
// Per band: what a parent's subsystem link and DEVTYPE may be.
constexpr std::array<std::array<const char*, 4>, 2> kSubsystems = {
    {{"", "usb", "pci", "usb"}, {"", "scsi", "scsi_host", "scsi"}}};
constexpr std::array<std::array<const char*, 4>, 2> kDevTypes = {
    {{"", "usb_device", "usb_interface", "usb_device"},
     {"", "scsi_device", "scsi_target", "scsi_device"}}};

const fs::path& Root() {
    static char pattern[] = "/tmp/tarnwick-fuzz-sysfs-XXXXXX";
    static const fs::path root = [] {
        Expect(mkdtemp(pattern) != nullptr, "cannot create a temporary directory");
        // Removed at exit, with the tree of the last input.
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(pattern, ignored);
        });
        return fs::path(pattern);
    }();
    return root;
}

void Write(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

}  // namespace
}  // namespace tarnwick

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnwick;
    FuzzedDataProvider in(data, size);
    const fs::path& root = Root();
    fs::remove_all(root / "devices");

    fs::path device = root / "devices";
    std::array<fs::path, kParents.size()> parents;
    for (std::size_t level = 0; level < kParents.size(); ++level) {
        device /= kParents[level];
        parents[level] = device;
    }
    fs::create_directories(device / "sg2");
    Write(device / "sg2" / "uevent", "MAJOR=21\nMINOR=2\n");
    fs::create_directory_symlink("../../../class/scsi_generic", device / "sg2" / "subsystem");

    // From the device upwards, as the reader walks, so the nearest SCSI device wins.
    bool usb = false;
    bool scsiSeen = false;
    bool unreadable = false;
    std::optional<std::string> vendor;
    for (std::size_t level = kParents.size(); level-- > 0;) {
        const fs::path& dir = parents[level];
        const std::uint8_t choice = in.ConsumeIntegral<std::uint8_t>();
        const std::size_t band = level >= kFirstScsiLevel ? 1 : 0;
        const std::string subsystem = kSubsystems[band][choice & 3];
        const std::string devType = kDevTypes[band][(choice >> 2) & 3];
        if (!subsystem.empty()) {
            fs::create_directory_symlink("../../bus/" + subsystem, dir / "subsystem");
        }
        Write(dir / "uevent", devType.empty() ? "" : "DEVTYPE=" + devType + "\n");
        const bool hasVendor = (choice & 0x10) != 0;
        const bool vendorIsDirectory = (choice & 0x20) != 0;
        std::string bytes;
        if (hasVendor && vendorIsDirectory) {
            fs::create_directory(dir / "vendor");
        } else if (hasVendor) {
            bytes = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(0, 24));
            Write(dir / "vendor", bytes);
        }
        if (!scsiSeen && subsystem == "scsi" && devType == "scsi_device") {
            scsiSeen = true;
            unreadable = hasVendor && vendorIsDirectory;
            if (hasVendor && !vendorIsDirectory) {
                vendor = bytes.ends_with('\n') ? bytes.substr(0, bytes.size() - 1) : bytes;
            }
        }
        if ((choice & 0x40) != 0) {
            Write(dir / "busnum", in.ConsumeBytesAsString(in.ConsumeIntegral<std::uint8_t>() & 7));
            Write(dir / "devnum", in.ConsumeBytesAsString(in.ConsumeIntegral<std::uint8_t>() & 7));
        }
        usb |= subsystem == "usb" && devType == "usb_device";
    }

    // The path as a caller may spell it, or one that is not there.
    const std::array<std::string, 4> spellings = {"sg2", "sg2/", "sg2/../sg2", "sg9"};
    const std::size_t spelling = in.ConsumeIntegralInRange<std::size_t>(0, 3);
    const auto identity = ReadSysfsStorageIdentity(root, device / spellings[spelling]);

    if (spelling == 3 || unreadable) {
        Expect(!identity && !identity.error().Describe().empty(),
               "an identity from a missing device or vendor");
        return 0;
    }
    Expect(identity.has_value(), "no identity from a readable tree");
    Expect(identity->usb == usb, "usb other than the tree's USB device says");
    Expect(identity->vendor == vendor, "vendor other than its attribute's bytes");
    Expect(identity->usbDevice == std::nullopt || usb, "a USB address without a USB device");
    return 0;
}
