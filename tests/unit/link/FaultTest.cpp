#include "link/Fault.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

Result<int> Failing() {
    return Fail("No such device (ENODEV)", 19);
}

// Each level puts what it was doing in front, outermost first; errno stays with the cause.
TEST(Fault, EachLevelPrefixesItsContextAndKeepsTheCause) {
    const Result<int> failed =
        Within(Within(Failing(), "SG_IO on /dev/sg0"), "page write at 0x001200");
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().Describe(),
              "page write at 0x001200: SG_IO on /dev/sg0: No such device (ENODEV)");
    EXPECT_EQ(failed.error().sysErrno, 19);
    EXPECT_EQ(Within(Result<int>(7), "unused").value(), 7);
    EXPECT_EQ(Fault::Because("cause").Within("").Describe(), "cause") << "no empty level";
}

TEST(Fault, DescribeEndsWithTheScsiStatusAndTheSenseBytesTheDeviceSent) {
    Fault fault = Fault::Because("CHECK CONDITION").Within("SG_IO on /dev/sg2");
    fault.scsi.scsiStatus = 0x02;
    fault.scsi.senseLength = 3;
    fault.scsi.sense = {0x70, 0x00, 0x05};
    EXPECT_EQ(fault.Describe(),
              "SG_IO on /dev/sg2: CHECK CONDITION, SCSI status 0x02, sense 70 00 05");
    fault.scsi.senseLength = 40;  // more than the array holds: cut, never read beyond it
    EXPECT_EQ(
        fault.Describe().size(),
        std::string("SG_IO on /dev/sg2: CHECK CONDITION, SCSI status 0x02, sense").size() + 32 * 3);
}

}  // namespace
}  // namespace tarnwick
