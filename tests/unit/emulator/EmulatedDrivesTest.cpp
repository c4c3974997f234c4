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
