#include "platform/linux/SysfsStorageIdentity.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "link/DriveProvider.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// A machine with two SATA drives (sg0, sg1) and five USB drives (sg2..sg6). sg3's USB device
// sits behind a hub that has a serial of its own; sg4's has no serial and sg5's an empty one and
// no bus and device numbers; sg6's vendor attribute is a directory.
const fs::path kSysfs = fs::path(TARNWICK_TEST_DATA) / "sysfs" / "machine";

fs::path ScsiGeneric(const std::string& name) {
    for (const auto& entry : fs::recursive_directory_iterator(kSysfs / "devices")) {
        if (entry.is_directory() && entry.path().filename() == name) {
            return entry.path();
        }
    }
    ADD_FAILURE() << name << " is missing from the fixture tree";
    return {};
}

TEST(SysfsStorageIdentity, DrivesAreIdentifiedByTheirUsbParentItsAddressPortSerialAndExactVendor) {
    struct Case {
        const char* name;
        bool usb;
        std::optional<std::string> vendor;
        std::optional<UsbDeviceAddress> usbDevice;
        const char* port;
        std::optional<std::string> serial;
    };
    const std::vector<Case> cases = {
        {"sg0", false, "ATA     ", std::nullopt, "", std::nullopt},
        {"sg1", false, "VORTAN  ", std::nullopt, "", std::nullopt},
        {"sg2", true, "VORTAN  ", UsbDeviceAddress{1, 5}, "1-2", "TW-0001"},
        {"sg3", true, "vortan  ", UsbDeviceAddress{1, 6}, "1-1.3", "vortan-03"},
        {"sg4", true, "VORTAN", UsbDeviceAddress{1, 7}, "1-4", std::nullopt},
        {"sg5", true, std::nullopt, std::nullopt, "1-5", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto identity = ReadSysfsStorageIdentity(kSysfs, ScsiGeneric(c.name));

        ASSERT_TRUE(identity.has_value()) << identity.error().Describe();
        EXPECT_EQ(identity->usb, c.usb);
        EXPECT_EQ(identity->vendor, c.vendor);
        EXPECT_EQ(identity->usbDevice, c.usbDevice) << "the nearest USB device, not its hub";
        EXPECT_EQ(identity->usbPort, c.port);
        EXPECT_EQ(identity->usbSerial, c.serial) << "without the line end; none when empty";
    }
    for (const fs::path& spelled : {ScsiGeneric("sg2") / "", ScsiGeneric("sg2") / ".." / "sg2"}) {
        EXPECT_EQ(ReadSysfsStorageIdentity(kSysfs, spelled).value().usbDevice,
                  (UsbDeviceAddress{1, 5}))
            << spelled;
    }
}

// An attribute that fails to read (EISDIR here, EIO from a drive pulled during the scan) is a
// failure, never an exception that would end the program.
TEST(SysfsStorageIdentity, APathThatIsNoDeviceOrAVendorThatCannotBeReadFailsAndNamesIt) {
    const fs::path gone = ScsiGeneric("sg2").parent_path() / "sg9";
    const auto missing = ReadSysfsStorageIdentity(kSysfs, gone);
    ASSERT_FALSE(missing);
    EXPECT_THAT(missing.error().Describe(), HasSubstr(gone.string()));

    EXPECT_FALSE(ReadSysfsStorageIdentity(kSysfs, kSysfs / "devices" / ".." / "bus"))
        << "outside the device tree";
    const auto unreadable = ReadSysfsStorageIdentity(kSysfs, ScsiGeneric("sg6"));
    ASSERT_FALSE(unreadable);
    EXPECT_THAT(unreadable.error().Describe(), HasSubstr("cannot read"));
}

}  // namespace
}  // namespace tarnwick
