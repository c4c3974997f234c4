#include <gtest/gtest.h>

#include "emulator/EmulatedDrives.h"
#include "link/CCodeProgram.h"

namespace tarnwick {
namespace {

bool Answers(PassThrough& device) {
    CCodeProgram program;
    program.SetDevice(std::shared_ptr<PassThrough>(&device, [](PassThrough*) {}));
    std::int32_t status = 0;
    return program.GetLinkStatus(status);
}

TEST(EmulatedDrives, ShowTheProgrammerAsDriveThreeOnUsbWithItsVendor) {
    EmulatedDrives drives(std::make_shared<EmulatedProgrammer>(0x10000));
    OpenedDrive three = drives.Open(3);
    ASSERT_TRUE(three.device);
    ASSERT_TRUE(three.identity);
    EXPECT_TRUE(three.identity->usb);
    EXPECT_EQ(three.identity->vendor, "VORTAN  ");
    EXPECT_TRUE(drives.Open(2).missing);
    EXPECT_TRUE(Answers(*three.device));
}

TEST(EmulatedDrives, AHandleFromBeforeAnUnplugStaysDeadAfterTheReplug) {
    EmulatedDrives drives(std::make_shared<EmulatedProgrammer>(0x10000));
    OpenedDrive before = drives.Open(3);
    drives.Detach();
    EXPECT_FALSE(Answers(*before.device));
    EXPECT_TRUE(drives.Open(3).missing);
    drives.Attach();
    EXPECT_FALSE(Answers(*before.device)) << "a replugged programmer is a new device";
    OpenedDrive after = drives.Open(3);
    ASSERT_TRUE(after.device);
    EXPECT_TRUE(Answers(*after.device));
}

}  // namespace
}  // namespace tarnwick
