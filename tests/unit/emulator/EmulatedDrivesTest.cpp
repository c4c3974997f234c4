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

TEST(EmulatedDrives, AHandleFromBeforeAnUnplugStaysDeadAfterTheReplug) {
    EmulatedDrives drives(std::make_shared<EmulatedProgrammer>(0x10000));
    OpenedDrive before = drives.Open(EmulatedDrives::kDrive);
    drives.Detach();
    EXPECT_FALSE(Answers(*before.device));
    EXPECT_TRUE(drives.Open(EmulatedDrives::kDrive).missing);
    drives.Attach();
    EXPECT_FALSE(Answers(*before.device)) << "a replugged programmer is a new device";
    OpenedDrive after = drives.Open(EmulatedDrives::kDrive);
    ASSERT_TRUE(after.device);
    EXPECT_TRUE(Answers(*after.device));
    EXPECT_NE(after.identity->usbDevice, before.identity->usbDevice)
        << "discovery would keep the dead handle of the same drive number";
}

}  // namespace
}  // namespace tarnwick
