#include "platform/linux/SysfsDriveProvider.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "FakeSysCalls.h"

namespace tarnwick {
namespace {

using testing::FakeSysCalls;
using ::testing::HasSubstr;
using testing::kFd;

// These go through the real libudev and /sys; only the descriptor is faked, so no SCSI device
// is needed. Every Linux machine has /dev/null as character device 1:3.
class SysfsDriveProviderTest : public ::testing::Test {
  protected:
    FakeSysCalls sys;
    std::unique_ptr<SysfsDriveProvider> provider = SysfsDriveProvider::Create(sys).value();
    SysfsDriveProvider& drives = *provider;
};

// Every node from /dev/sg0 on can be the programmer; drive 0 stands for none and has no node.
TEST_F(SysfsDriveProviderTest, Drive1IsTheFirstNodeSg0AndDrive0OpensNothing) {
    EXPECT_EQ(drives.DriveName(1), "/dev/sg0");
    EXPECT_EQ(drives.DriveName(0), "");

    const OpenedDrive none = drives.Open(0);
    EXPECT_TRUE(none.missing);
    EXPECT_TRUE(sys.openedPaths.empty());

    EXPECT_NE(drives.Open(1).device, nullptr);
    EXPECT_EQ(sys.openedPaths, std::vector<std::string>{"/dev/sg0"});
}

// What a person may name: the nodes of the drives the search reaches, and nothing else.
TEST(SysfsDriveNames, NamesDriveNPlus1ForSgNWithinTheSearchedRange) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"/dev/sg0", 1}, {"/dev/sg125", 126}, {"/dev/sg126", std::nullopt}, {"/dev/sda", {}},
        {"/dev/sg", {}}, {"/dev/sg1x", {}},   {"/dev/sg00001", {}}};
    for (const auto& [node, drive] : cases) {
        EXPECT_EQ(SysfsDriveProvider::NumberOf(node), drive) << node;
    }
}

TEST_F(SysfsDriveProviderTest, ANodeThatIsNotAScsiGenericDeviceIsOpenedButNeverIdentified) {
    sys.rdev = makedev(1, 3);
    OpenedDrive drive = drives.Open(3);
    ASSERT_NE(drive.device, nullptr);
    EXPECT_EQ(drive.identity, std::nullopt) << "SG_IO would go to some other device";
    EXPECT_EQ(drive.fault->Describe(), "/dev/sg2 (1:3) is not a SCSI generic device");

    sys.mode = S_IFREG | 0644;
    drive = drives.Open(3);
    EXPECT_EQ(drive.identity, std::nullopt);
    EXPECT_EQ(drive.fault->Describe(), "/dev/sg2 is not a character device");

    drive.device.reset();
    EXPECT_EQ(sys.closed.size(), 2u) << "each opened descriptor closes with its device";
}

TEST_F(SysfsDriveProviderTest, OpenFailuresTellMissingDrivesFromRefusedOnes) {
    sys.openErrno = ENOENT;
    const OpenedDrive missing = drives.Open(9);
    sys.openErrno = EACCES;
    const OpenedDrive refused = drives.Open(3);

    EXPECT_TRUE(missing.missing);
    EXPECT_FALSE(refused.missing);
    EXPECT_THAT(refused.fault->Describe(),
                HasSubstr("cannot open /dev/sg2: Permission denied (EACCES); install the udev"));
    EXPECT_EQ(refused.fault->sysErrno, EACCES);
}

}  // namespace
}  // namespace tarnwick
