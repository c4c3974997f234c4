// A USB programmer's sysfs tree, from the PCI root down to its scsi_generic device, with the
// attributes the reader parses filled from the fuzz input: the vendor (bytes from the device's
// INQUIRY reply, or a directory in its place) and the USB device's busnum and devnum; then the
// identity read through a path spelled as the input says. Other topologies (SATA drives, a USB
// device without numbers) are pinned on the fixture tree in SysfsStorageIdentityTest.
// The oracle: USB, the vendor exactly its attribute's bytes less one line end, a failure for a
// missing device or an unreadable vendor; any busnum and devnum bytes parse without a crash.
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

struct Level {
    const char* name;
    const char* subsystem;  // none for a plain directory
    const char* devType;
};
constexpr std::array<Level, 10> kLevels = {{{"pci0000:00", "", ""},
                                            {"0000:00:14.0", "pci", ""},
                                            {"usb1", "usb", "usb_device"},
                                            {"1-4", "usb", "usb_device"},
                                            {"1-4:1.0", "usb", "usb_interface"},
                                            {"host4", "scsi", "scsi_host"},
                                            {"target4:0:0", "scsi", "scsi_target"},
                                            {"4:0:0:0", "scsi", "scsi_device"},
                                            {"scsi_generic", "", ""},
                                            {"sg2", "scsi_generic", ""}}};

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
    for (const Level& level : kLevels) {
        device /= level.name;
        fs::create_directories(device);
        if (*level.subsystem != '\0') {
            fs::create_directory_symlink(std::string("../../bus/") + level.subsystem,
                                         device / "subsystem");
        }
        Write(device / "uevent", *level.devType ? std::string("DEVTYPE=") + level.devType : "");
    }
    const fs::path usbDevice = root / "devices/pci0000:00/0000:00:14.0/usb1/1-4";
    const fs::path scsiDevice = usbDevice / "1-4:1.0/host4/target4:0:0/4:0:0:0";

    const int vendorKind = in.ConsumeIntegralInRange(0, 2);  // none, bytes, a directory
    std::string vendor = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(0, 24));
    if (vendorKind == 1) {
        Write(scsiDevice / "vendor", vendor);
    } else if (vendorKind == 2) {
        fs::create_directory(scsiDevice / "vendor");
    }
    if (vendor.ends_with('\n')) {
        vendor.pop_back();
    }
    Write(usbDevice / "busnum", in.ConsumeBytesAsString(in.ConsumeIntegral<std::uint8_t>() & 7));
    Write(usbDevice / "devnum", in.ConsumeBytesAsString(in.ConsumeIntegral<std::uint8_t>() & 7));

    // The path as a caller may spell it, or one that is not there.
    const std::array<std::string, 4> spellings = {"sg2", "sg2/", "sg2/../sg2", "sg9"};
    const std::size_t spelling = in.ConsumeIntegralInRange<std::size_t>(0, 3);
    const auto identity =
        ReadSysfsStorageIdentity(root, device.parent_path() / spellings[spelling]);

    if (spelling == 3 || vendorKind == 2) {
        Expect(!identity && !identity.error().Describe().empty(),
               "an identity from a missing device or vendor");
        return 0;
    }
    Expect(identity.has_value() && identity->usb, "no USB identity from a USB drive's tree");
    Expect(identity->vendor == (vendorKind == 1 ? std::optional(vendor) : std::nullopt),
           "vendor other than its attribute's bytes");
    return 0;
}
